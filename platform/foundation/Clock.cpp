#include "platform/foundation/Clock.h"

#include <chrono>

namespace pf {

double SystemClock::now() const
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

}
