#include "sdk/lmconnect/update/JsUpdateTimer.h"

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/DispatchTimer.h"

JsUpdateTimer::JsUpdateTimer(std::uint32_t interval, std::uint32_t delay)
    : m_interval(interval)
    , m_delay(delay)
{
}

JsUpdateTimer::~JsUpdateTimer()
{
    stop();
}

void JsUpdateTimer::start(std::function<void()> action)
{
    stop();
    m_queue = pf::DispatchQueue::create(kQueueName);
    m_timer = pf::DispatchTimer::create(m_queue);
    m_timer->setHandler(std::move(action));
    m_timer->schedule(m_delay * 60.0, m_interval * 60.0);
    m_timer->resume();
}

void JsUpdateTimer::stop()
{
    if (auto timer = std::move(m_timer))
        timer->cancel();
}
