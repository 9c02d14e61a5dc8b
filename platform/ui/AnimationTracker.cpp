#include "platform/ui/AnimationTracker.h"

#include "platform/foundation/RunLoop.h"

namespace pf {

void AnimationTracker::stopped(bool finished)
{
    if (m_pending > 0)
        --m_pending;
    m_allFinished = m_allFinished && finished;
    if (m_sealed && m_pending == 0)
        run();
}

void AnimationTracker::seal(double delay)
{
    m_sealed = true;
    if (m_pending == 0) {
        auto self = shared_from_this();
        if (delay > 0)
            RunLoop::main().postDelayed(delay, [self] { self->run(); });
        else
            RunLoop::main().post([self] { self->run(); });
    }
}

void AnimationTracker::run()
{
    if (m_ran)
        return;
    m_ran = true;
    auto completion = std::move(m_completion);
    m_completion = nullptr;
    if (completion)
        completion(m_allFinished);
}

}
