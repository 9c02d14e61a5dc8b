#include "platform/ui/Interaction.h"

namespace pf {

namespace {
    int& depth()
    {
        static int d = 0;
        return d;
    }
}

void Interaction::beginIgnoringEvents()
{
    ++depth();
}

void Interaction::endIgnoringEvents()
{
    if (depth() > 0)
        --depth();
}

bool Interaction::isIgnoringEvents()
{
    return depth() > 0;
}

void Interaction::reset()
{
    depth() = 0;
}

}
