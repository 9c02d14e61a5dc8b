#include "sdk/lmconnect/lmapi/LMApiTask.h"

#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/RunLoop.h"

#include <deque>

namespace {

std::atomic<const LMApiTask*>& slot()
{
    static std::atomic<const LMApiTask*> running { nullptr };
    return running;
}

// Jobs that came up while the slot was held, in order.
std::deque<std::shared_ptr<LMApiTask>>& waiting()
{
    static std::deque<std::shared_ptr<LMApiTask>> queue;
    static bool registered = [] {
        // A new launch: no job running or waiting.
        pf::ResetRegistry::add([] {
            slot().store(nullptr);
            queue.clear();
        });
        return true;
    }();
    (void)registered;
    return queue;
}

}

// Frees the slot held by `task` and lets the next waiting job come up.
static void releaseSlot(const LMApiTask* task)
{
    slot().compare_exchange_strong(task, nullptr);
    if (!waiting().empty()) {
        auto next = waiting().front();
        waiting().pop_front();
        pf::RunLoop::main().post([next] { next->internalMain(); });
    }
}

LMApiTask::~LMApiTask()
{
    if (m_holdsSlot)
        releaseSlot(this);
}

void LMApiTask::postOnMainThread()
{
    auto self = shared_from_this();
    pf::RunLoop::main().post([self] { self->internalMain(); });
}

void LMApiTask::internalMain()
{
    const LMApiTask* empty = nullptr;
    if (!slot().compare_exchange_strong(empty, this)) {
        waiting().push_back(shared_from_this());
        return;
    }
    m_holdsSlot = true;
    m_selfHold = shared_from_this();
    main();
}

void LMApiTask::finish()
{
    if (m_holdsSlot) {
        m_holdsSlot = false;
        releaseSlot(this);
    }
    // The last reference may be this one: release it after everything else.
    auto keep = std::move(m_selfHold);
}

bool LMApiTask::slotIsFree() { return slot().load() == nullptr; }
