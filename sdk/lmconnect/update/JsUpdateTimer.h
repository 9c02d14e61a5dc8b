#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace pf {
class DispatchQueue;
class DispatchTimer;
}

// The script-update timer: its action runs on the serial queue "JS_UPDATE_TIMER_QUEUE", first
// `delay` minutes after `start`, then every `interval` minutes, on the main loop's clock.
class JsUpdateTimer {
public:
    static constexpr const char* kQueueName = "JS_UPDATE_TIMER_QUEUE";

    JsUpdateTimer(std::uint32_t interval, std::uint32_t delay);
    ~JsUpdateTimer();
    JsUpdateTimer(const JsUpdateTimer&) = delete;
    JsUpdateTimer& operator=(const JsUpdateTimer&) = delete;

    void start(std::function<void()> action);
    // Ends the timer; a second call does nothing.
    void stop();

    std::uint32_t interval() const { return m_interval; }
    std::uint32_t delay() const { return m_delay; }
    std::shared_ptr<pf::DispatchQueue> queue() const { return m_queue; }

private:
    std::uint32_t m_interval;
    std::uint32_t m_delay;
    std::shared_ptr<pf::DispatchQueue> m_queue;
    std::shared_ptr<pf::DispatchTimer> m_timer;
};
