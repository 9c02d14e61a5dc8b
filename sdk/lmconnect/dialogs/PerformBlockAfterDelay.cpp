#include "sdk/lmconnect/dialogs/PerformBlockAfterDelay.h"

#include "platform/foundation/RunLoop.h"

void PerformBlockAfterDelay::performBlock(std::function<void()> block, double delay)
{
    if (!block)
        return;
    pf::RunLoop::main().postDelayed(delay, [block = std::move(block)] { fireBlockAfterDelay(block); });
}

void PerformBlockAfterDelay::fireBlockAfterDelay(const std::function<void()>& block)
{
    block();
}
