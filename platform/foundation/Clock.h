#pragma once

#include <atomic>
#include <chrono>

namespace pf {

// The one clock of the process, read by every thread and never replaced.
//
// It tells two times:
// - `now()`: the date, seconds since 1970 (as the platform's date values). Use it only for
//   what is shown or stored: record dates, cookie and cache expiry, booking times.
// - `monotonicNow()`: seconds on a clock that only moves forward at a steady pace, from an
//   arbitrary origin. Timers, delays, animations and time-outs run on it, so a change of the
//   system's date never fires or stalls them.
//
// The app runs on system time. Tests (and the simulator's manual mode) switch it to manual
// time, where both move only in `advance` (the main run loop's `advanceBy` fires due work on
// the way) and `setNow` changes only the date, as a user setting the phone's date would.
// Every call is safe from any thread; switching modes is for start-up and test set-up.
class Clock {
public:
    using Seconds = std::chrono::duration<double>;

    static Clock& shared();

    double now() const;
    double monotonicNow() const;
    bool isManual() const { return m_manual.load(); }

    // Start-up and test set-up.
    void useSystemTime();
    // Manual time starting at the date `start`; the monotonic reading restarts at `start` too.
    void useManualTime(double start);

    // Manual time only.
    void setNow(double date);
    void advance(double seconds);
    void advance(Seconds duration) { advance(duration.count()); }

    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;

private:
    Clock() = default;

    std::atomic<bool> m_manual { false };
    std::atomic<double> m_date { 0 };
    std::atomic<double> m_monotonic { 0 };
};

// What tests hold: the clock in manual mode.
using ManualClock = Clock;

// The system's date, whatever mode the process clock is in.
struct SystemClock {
    double now() const;
};

}
