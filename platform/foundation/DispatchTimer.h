#pragma once

#include "platform/foundation/RunLoop.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace pf {

class DispatchQueue;

// A timer source whose handler runs on a serial queue (or on the main run loop when no queue
// is given). Time is the main run loop's clock, so tests move it with the task environment.
//
// Rules:
// - Nothing fires until `resume`. `schedule(delay, interval)` fires first after `delay`, then
//   every `interval` seconds; an interval of zero or less fires once.
// - Rescheduling replaces the previous schedule. After `cancel` the handler never runs again,
//   even a firing already handed to the queue.
// - A firing is handed to the queue only when the one before it has run, so a slow handler
//   is not piled up.
class DispatchTimer : public std::enable_shared_from_this<DispatchTimer> {
public:
    using Task = std::function<void()>;

    static std::shared_ptr<DispatchTimer> create(std::shared_ptr<DispatchQueue> queue = nullptr);
    ~DispatchTimer();

    void setHandler(Task handler);
    void schedule(double delay, double interval);
    void resume();
    void suspend();
    void cancel();
    bool isCancelled() const;
    int fireCount() const;

private:
    explicit DispatchTimer(std::shared_ptr<DispatchQueue> queue);
    void arm();    // with m_mutex held
    void disarm(); // with m_mutex held
    void fire();

    std::shared_ptr<DispatchQueue> m_queue;
    mutable std::mutex m_mutex;
    Task m_handler;
    double m_delay { 0 };
    double m_interval { 0 };
    bool m_scheduled { false };
    bool m_resumed { false };
    bool m_cancelled { false };
    bool m_inFlight { false };
    int m_fired { 0 };
    std::uint64_t m_generation { 0 };
    RunLoop::TaskId m_first { 0 };
    RunLoop::TaskId m_repeat { 0 };
};

}
