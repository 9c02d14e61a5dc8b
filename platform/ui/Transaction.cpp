#include "platform/ui/Transaction.h"

#include "platform/ui/AnimationTracker.h"
#include "platform/ui/KeyframeAnimation.h"

#include <memory>
#include <vector>

namespace pf {

namespace {
    struct Open {
        // The completion may be set at any time before commit, so the tracker reads it late.
        std::shared_ptr<std::function<void()>> completion;
        std::shared_ptr<AnimationTracker> tracker;
    };
    std::vector<Open>& stack()
    {
        static std::vector<Open> s;
        return s;
    }
}

void Transaction::begin()
{
    auto slot = std::make_shared<std::function<void()>>();
    auto tracker = std::make_shared<AnimationTracker>([slot](bool) {
        if (*slot)
            (*slot)();
    });
    stack().push_back({ slot, tracker });
}

void Transaction::commit()
{
    if (stack().empty())
        return;
    Open open = std::move(stack().back());
    stack().pop_back();
    open.tracker->seal();
}

void Transaction::setCompletionBlock(std::function<void()> completion)
{
    if (stack().empty())
        return;
    *stack().back().completion = std::move(completion);
}

bool Transaction::isOpen()
{
    return !stack().empty();
}

void Transaction::track(KeyframeAnimation& animation)
{
    if (stack().empty())
        return;
    auto tracker = stack().back().tracker;
    tracker->add();
    animation.addStopHandler([tracker](bool finished) { tracker->stopped(finished); });
}

void Transaction::reset()
{
    stack().clear();
}

}
