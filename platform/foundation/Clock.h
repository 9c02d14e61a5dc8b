#pragma once

#include <atomic>
#include <memory>

namespace pf {

// The one source of "now" for the whole process. Everything that waits (timers, delayed
// performs, animations, expiry checks) asks the main run loop's clock, so tests can swap in a
// ManualClock and move time forward instead of sleeping.
//
// Times are seconds since 1970 as doubles, like the platform's date values.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
    virtual bool isManual() const { return false; }
};

// Wall-clock time.
class SystemClock final : public Clock {
public:
    double now() const override;
};

// Virtual time that moves only when told to. Thread-safe to read.
class ManualClock final : public Clock {
public:
    explicit ManualClock(double start = 1'700'000'000.0) : m_now(start) { }
    double now() const override { return m_now.load(); }
    bool isManual() const override { return true; }
    void setNow(double t) { m_now.store(t); }
    void advance(double seconds) { m_now.store(m_now.load() + seconds); }

private:
    std::atomic<double> m_now;
};

}
