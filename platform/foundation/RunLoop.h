#pragma once

#include "platform/foundation/Clock.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace pf {

// The main run loop: the one thread on which all of the app's code runs.
//
// Rules:
// - Tasks always run on the loop's (main) thread, and only the main thread drives the loop
//   (runPending, runUntilIdle, advanceBy/advanceTo, waitForPost, runUntil, waitUntilIdle, run).
// - Scheduling and asking may come from any thread: post, postDelayed, postRepeating, cancel,
//   cancelAll, isScheduled, nextDueIn, scheduledCount, now, quit and the pending-work count (serial
//   queues and timer sources schedule from their worker threads). bindToCurrentThread and reset
//   are for start-up and test set-up, while no other thread uses the loop.
// - `cancel` answers whether it dropped a scheduled run. A run that has already started finishes;
//   a repeating task stays scheduled while a beat runs, so cancelling it from any thread (the
//   task itself included) stops every later beat. A dropped task is destroyed after the loop's
//   lock is released, so what it holds may use the loop while being destroyed.
// - Delayed tasks and timers are ordered by due time on the process clock's monotonic reading
//   (a changed date neither fires nor stalls them), ties by the order in which they were
//   scheduled. Delays are seconds, or any std::chrono duration.
// - A delayed task may name a target (any pointer used as a key); `cancelAll(target)` drops every
//   pending task of that target, as the platform's "cancel previous perform requests" does.
// - With the clock on manual time, time moves only in `advanceBy`/`advanceTo`, which fire due
//   tasks in order, moving the clock to each task's due time before running it.
// - "Pending work" counts operations that will post back later (HTTP transfers, worker queues):
//   `runUntilIdle` and `waitUntilIdle` use it to know whether a reply may still come.
// - Waiting for idle waits out every reply and the follow-ups each puts off to the next turns,
//   however long their chain; work that keeps itself ready for ever gets a second of real time
//   after the last reply (`kFollowUpTime`, on either clock) and is then left running, and the
//   caller can learn that it was.
class RunLoop {
public:
    using Task = std::function<void()>;
    using TaskId = std::uint64_t;

    static RunLoop& main();

    using Seconds = Clock::Seconds;

    // The process clock (see Clock): `now` is the date, `monotonicNow` what timers run on.
    Clock& clock() const { return Clock::shared(); }
    double now() const { return Clock::shared().now(); }
    double monotonicNow() const { return Clock::shared().monotonicNow(); }
    bool hasManualClock() const { return Clock::shared().isManual(); }

    // Any thread: run `task` on the loop soon, after tasks already posted.
    void post(Task task);

    // Any thread: run `task` once `delay` seconds from now.
    TaskId postDelayed(double delay, Task task, const void* target = nullptr);
    // Any thread: run `task` every `interval` seconds, first after one interval.
    TaskId postRepeating(double interval, Task task, const void* target = nullptr);
    template<typename Rep, typename Period>
    TaskId postDelayed(std::chrono::duration<Rep, Period> delay, Task task, const void* target = nullptr)
    {
        return postDelayed(Seconds(delay).count(), std::move(task), target);
    }
    template<typename Rep, typename Period>
    TaskId postRepeating(std::chrono::duration<Rep, Period> interval, Task task, const void* target = nullptr)
    {
        return postRepeating(Seconds(interval).count(), std::move(task), target);
    }
    bool cancel(TaskId id);
    void cancelAll(const void* target);
    bool isScheduled(TaskId id) const;

    // Driving the loop: main thread only.
    // One pass of the loop: runs the tasks posted before the call, then the delayed tasks and
    // timers that were due when it began; returns how many ran. Does not move time. What is
    // posted, scheduled or re-armed during the pass waits for the next one, so a pass always
    // ends, however slow or eager a timer is.
    int runPending();
    // Runs passes until one finds nothing to run and nothing posted (does not wait for pending
    // work). Work that keeps itself due for ever stops it only at a bound of passes: callers
    // that must stay responsive drive passes themselves.
    void runUntilIdle();
    // How many passes have begun (a page's share of a turn is counted per pass).
    std::uint64_t passCount() const;
    // Manual clock: move time forward, firing due tasks in order; runs posted tasks between them.
    // `advanceTo` names the date to reach.
    void advanceBy(double seconds);
    void advanceBy(Seconds duration) { advanceBy(duration.count()); }
    void advanceTo(double date);
    // Waits (on real time, at most `timeout` seconds) until a task is posted from another thread
    // and runs what is ready. Returns false on time-out.
    bool waitForPost(double timeout);
    // Runs until `done()` holds, waiting for posts from other threads; gives up after `timeout`
    // real seconds. With a manual clock, due timers fire only if `advanceTime` is true, jumping
    // virtual time to the next due timer whenever nothing else can happen.
    bool runUntil(const std::function<bool()>& done, double timeout, bool advanceTime = false);
    // Runs until no pending work is left and what was ready has run: everything posted or due
    // when the call began, and what that work and each reply put off to the next turns, however
    // many turns that takes. Work that keeps itself ready for ever does not hold it: once
    // nothing is in flight it gets `kFollowUpTime` of real time after the last reply (after the
    // call began when none came), whichever clock the loop runs on, and is then left as it is;
    // `cutShort`, when given, tells whether that happened. Timers still to come do not count
    // (real-time bound `timeout`; false when it ran out). `stop`, when given, is asked after
    // every pass and ends the wait once it holds, with false as at the bound (the program is
    // ending and waits for nothing more).
    static constexpr std::chrono::milliseconds kFollowUpTime { 1000 };
    bool waitUntilIdle(double timeout, bool* cutShort = nullptr, const std::function<bool()>& stop = {});
    // Runs the loop until quit(): waits for posts or the next timer (system clock), or, with a
    // manual clock, jumps to the next timer when idle.
    void run();
    void quit();

    // Outstanding operations that will post back (see class comment). Thread-safe.
    void beginPendingWork();
    void endPendingWork();
    int pendingWork() const;

    // Seconds until the next delayed task, or negative when none.
    double nextDueIn() const;
    size_t scheduledCount() const;

    bool isMainThread() const { return std::this_thread::get_id() == m_mainThread.load(); }
    // Makes the calling thread the loop's thread (tests and app start-up).
    void bindToCurrentThread() { m_mainThread = std::this_thread::get_id(); }
    // Stops the process when called off the main thread (see PF_ASSERT_MAIN_THREAD).
    static void assertMainThread(const char* what);
    // Drops every posted and scheduled task (test set-up).
    void reset();

private:
    RunLoop();

    struct Scheduled {
        TaskId id;
        double due; // monotonic seconds
        double interval; // > 0 for repeating
        const void* target;
        std::shared_ptr<Task> task;
    };

    bool runOnePosted();
    // Runs the first due task if it sorts before `before` (due time, then id).
    bool runOneDue(std::pair<double, TaskId> before);

    std::atomic<std::thread::id> m_mainThread;

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<Task> m_posted;
    int m_pendingWork { 0 };
    std::uint64_t m_pendingEnded { 0 }; // operations ended so far: a reply that came and went

    // Ordered by (due, id).
    std::map<std::pair<double, TaskId>, Scheduled> m_scheduled;
    std::map<TaskId, std::pair<double, TaskId>> m_index;
    TaskId m_nextId { 1 };
    bool m_quit { false };
    std::uint64_t m_passes { 0 };
};

// Debug builds check that main-thread-only state (the notification centre, the loop's driving,
// views, the image cache's memory) is used from the main thread, and stop at once if not.
#ifndef NDEBUG
#define PF_ASSERT_MAIN_THREAD() ::pf::RunLoop::assertMainThread(__func__)
#else
#define PF_ASSERT_MAIN_THREAD() ((void)0)
#endif

// Keeps pending work counted for as long as it lives (moveable).
class PendingWork {
public:
    PendingWork() { RunLoop::main().beginPendingWork(); }
    ~PendingWork() { if (m_active) RunLoop::main().endPendingWork(); }
    PendingWork(const PendingWork&) = delete;
    PendingWork& operator=(const PendingWork&) = delete;
    PendingWork(PendingWork&& other) noexcept : m_active(other.m_active) { other.m_active = false; }

private:
    bool m_active { true };
};

}
