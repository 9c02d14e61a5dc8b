#include "platform/foundation/DispatchTimer.h"

#include "platform/foundation/DispatchQueue.h"

namespace pf {

std::shared_ptr<DispatchTimer> DispatchTimer::create(std::shared_ptr<DispatchQueue> queue)
{
    return std::shared_ptr<DispatchTimer>(new DispatchTimer(std::move(queue)));
}

DispatchTimer::DispatchTimer(std::shared_ptr<DispatchQueue> queue)
    : m_queue(std::move(queue))
{
}

DispatchTimer::~DispatchTimer()
{
    std::lock_guard lock(m_mutex);
    disarm();
}

void DispatchTimer::setHandler(Task handler)
{
    std::lock_guard lock(m_mutex);
    m_handler = std::move(handler);
}

void DispatchTimer::schedule(double delay, double interval)
{
    std::lock_guard lock(m_mutex);
    if (m_cancelled)
        return;
    disarm();
    m_delay = delay < 0 ? 0 : delay;
    m_interval = interval;
    m_scheduled = true;
    if (m_resumed)
        arm();
}

void DispatchTimer::resume()
{
    std::lock_guard lock(m_mutex);
    if (m_cancelled || m_resumed)
        return;
    m_resumed = true;
    if (m_scheduled)
        arm();
}

void DispatchTimer::suspend()
{
    std::lock_guard lock(m_mutex);
    m_resumed = false;
    disarm();
}

void DispatchTimer::cancel()
{
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    disarm();
}

bool DispatchTimer::isCancelled() const
{
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

int DispatchTimer::fireCount() const
{
    std::lock_guard lock(m_mutex);
    return m_fired;
}

void DispatchTimer::arm()
{
    std::weak_ptr<DispatchTimer> weak = weak_from_this();
    auto& loop = RunLoop::main();
    double interval = m_interval;
    std::uint64_t generation = ++m_generation;
    m_first = loop.postDelayed(m_delay, [weak, interval, generation] {
        auto self = weak.lock();
        if (!self)
            return;
        self->fire();
        if (interval > 0) {
            std::lock_guard lock(self->m_mutex);
            // Not when the handler (run here, without a queue) rescheduled or cancelled.
            if (!self->m_cancelled && self->m_resumed && self->m_generation == generation)
                self->m_repeat = RunLoop::main().postRepeating(interval, [weak] {
                    if (auto timer = weak.lock())
                        timer->fire();
                });
        }
    });
}

void DispatchTimer::disarm()
{
    ++m_generation;
    auto& loop = RunLoop::main();
    if (m_first)
        loop.cancel(m_first);
    if (m_repeat)
        loop.cancel(m_repeat);
    m_first = 0;
    m_repeat = 0;
}

void DispatchTimer::fire()
{
    Task handler;
    {
        std::lock_guard lock(m_mutex);
        if (m_cancelled || !m_resumed || m_inFlight || !m_handler)
            return;
        ++m_fired;
        if (m_interval <= 0)
            m_first = 0;
        m_inFlight = true;
        handler = m_handler;
    }
    auto run = [self = shared_from_this(), handler] {
        bool cancelled;
        {
            std::lock_guard lock(self->m_mutex);
            cancelled = self->m_cancelled;
        }
        if (!cancelled)
            handler();
        std::lock_guard lock(self->m_mutex);
        self->m_inFlight = false;
    };
    if (m_queue)
        m_queue->async(std::move(run));
    else
        run();
}

}
