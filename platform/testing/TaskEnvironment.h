#pragma once

#include "platform/foundation/Clock.h"

#include <functional>
#include <memory>

namespace pf {

class Sandbox;

// Puts the process in a known state for one test and hands the test control of time.
//
// On construction: the main run loop is bound to this thread and emptied, the process clock
// is put on manual time starting at `start`, the notification centre is emptied. On
// destruction the loop is emptied again.
//
// Each test also gets a fresh device: a new temporary sandbox (removed afterwards) with fresh
// standard user defaults and no pasteboards, an empty cookie storage, the default device values
// (Device), the network reachable over Wi-Fi, the local time zone `kTimeZone`, no other apps
// installed, an application object without delegate, and the main bundle read afresh.
//
// Network replies and worker results still arrive in real time; the `wait...`
// calls block (bounded) for them without moving virtual time. A test whose work is still
// pending five seconds after it ended fails (the process stops with a message).
class TaskEnvironment {
public:
    static constexpr const char* kTimeZone = "Asia/Shanghai";

    explicit TaskEnvironment(double start = 1'700'000'000.0);
    ~TaskEnvironment();
    TaskEnvironment(const TaskEnvironment&) = delete;
    TaskEnvironment& operator=(const TaskEnvironment&) = delete;

    ManualClock& clock() { return Clock::shared(); }
    Sandbox& sandbox() { return *m_sandbox; }
    double now() const { return Clock::shared().now(); }

    // Runs everything that is ready now.
    void runUntilIdle();
    // Moves virtual time forward, running due tasks in order.
    void fastForwardBy(double seconds);
    // Runs until `done()` holds, waiting for replies from other threads (at most `timeout`
    // real seconds). Virtual time does not move. Returns whether `done()` held.
    //
    // The time-outs only end a test that would otherwise hang; they say nothing about speed.
    // They are long because a machine running the suite many tests at a time, under other
    // load, can keep a quick local round trip waiting for seconds.
    static constexpr double kHangGuardSeconds = 90;
    bool runUntil(const std::function<bool()>& done, double timeout = kHangGuardSeconds);
    // Waits until no HTTP transfer or worker job is outstanding and everything has run.
    bool waitForPendingWork(double timeout = kHangGuardSeconds);

private:
    std::shared_ptr<Sandbox> m_sandbox;
};

}
