#include "platform/foundation/RunLoop.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

using namespace pf;

TEST(RunLoop, DelayedTasksFireInDueOrderWithTiesInScheduleOrder)
{
    TaskEnvironment env;
    auto& loop = RunLoop::main();
    std::vector<std::string> order;
    loop.postDelayed(2.0, [&] { order.push_back("b"); });
    loop.postDelayed(1.0, [&] { order.push_back("a1"); });
    loop.postDelayed(1.0, [&] { order.push_back("a2"); });
    loop.postDelayed(3.0, [&] { order.push_back("c"); });

    env.fastForwardBy(0.999);
    EXPECT_TRUE(order.empty());
    env.fastForwardBy(0.001);
    EXPECT_EQ(order, (std::vector<std::string> { "a1", "a2" }));
    env.fastForwardBy(5);
    EXPECT_EQ(order, (std::vector<std::string> { "a1", "a2", "b", "c" }));
}

TEST(RunLoop, CancelByIdAndByTarget)
{
    TaskEnvironment env;
    auto& loop = RunLoop::main();
    int a = 0, b = 0, c = 0;
    int targetA, targetB;
    auto id = loop.postDelayed(1, [&] { ++c; });
    loop.postDelayed(1, [&] { ++a; }, &targetA);
    loop.postDelayed(2, [&] { ++a; }, &targetA);
    loop.postDelayed(1, [&] { ++b; }, &targetB);
    EXPECT_TRUE(loop.cancel(id));
    EXPECT_FALSE(loop.cancel(id));
    loop.cancelAll(&targetA);
    env.fastForwardBy(3);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(c, 0);
}

TEST(RunLoop, RepeatingTaskKeepsItsBeatAndCanCancelItself)
{
    TaskEnvironment env(0);
    auto& loop = RunLoop::main();
    std::vector<double> beats;
    RunLoop::TaskId id = 0;
    id = loop.postRepeating(60, [&] {
        beats.push_back(loop.now());
        if (beats.size() == 3)
            loop.cancel(id);
    });
    env.fastForwardBy(59);
    EXPECT_TRUE(beats.empty());
    env.fastForwardBy(1000);
    EXPECT_EQ(beats, (std::vector<double> { 60, 120, 180 }));
    EXPECT_FALSE(loop.isScheduled(id));
}

TEST(RunLoop, TaskScheduledFromATaskRunsWithinTheSameAdvanceWhenDue)
{
    TaskEnvironment env(0);
    auto& loop = RunLoop::main();
    std::vector<double> seen;
    loop.postDelayed(1, [&] {
        seen.push_back(loop.now());
        loop.postDelayed(1, [&] { seen.push_back(loop.now()); });
        loop.post([&] { seen.push_back(-1); });
    });
    env.fastForwardBy(2);
    EXPECT_EQ(seen, (std::vector<double> { 1, -1, 2 }));
}

TEST(RunLoop, PostsFromOtherThreadsArriveInOrderOnTheLoop)
{
    TaskEnvironment env;
    auto& loop = RunLoop::main();
    std::vector<int> got;
    loop.beginPendingWork();
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i)
            loop.post([&got, i] { got.push_back(i); });
        loop.endPendingWork();
    });
    EXPECT_TRUE(env.waitForPendingWork());
    worker.join();
    ASSERT_EQ(got.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(got[i], i);
}

TEST(RunLoop, RunUntilIdleDoesNotMoveVirtualTime)
{
    TaskEnvironment env(50);
    auto& loop = RunLoop::main();
    bool fired = false;
    loop.postDelayed(0.1, [&] { fired = true; });
    env.runUntilIdle();
    EXPECT_FALSE(fired);
    EXPECT_DOUBLE_EQ(loop.now(), 50);
}

TEST(RunLoop, ARepeatingTaskStaysScheduledForOtherThreadsWhileItRuns)
{
    // A worker watching (and finally cancelling) a repeating task must never find it missing
    // between two beats: a cancel landing there would be lost and the beats would go on.
    TaskEnvironment env(0);
    auto& loop = RunLoop::main();
    int beats = 0;
    bool cancelFromWorker = false;
    std::atomic<bool> cancelled { false };
    RunLoop::TaskId id = 0;
    id = loop.postRepeating(1, [&] {
        ++beats;
        if (cancelFromWorker) // this beat finishes, no other comes
            std::thread([&] { cancelled = loop.cancel(id); }).join();
    });
    std::atomic<bool> stop { false };
    std::atomic<int> gaps { 0 };
    std::thread watcher([&] {
        while (!stop)
            if (!loop.isScheduled(id))
                ++gaps;
    });
    for (int i = 0; i < 20000; ++i)
        env.fastForwardBy(1);
    stop = true;
    watcher.join();
    EXPECT_EQ(gaps, 0);
    EXPECT_EQ(beats, 20000);

    cancelFromWorker = true;
    env.fastForwardBy(100);
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(beats, 20001);
}

TEST(RunLoop, CancelledTasksLetGoOfWhatTheyHoldOutsideTheLoopsLock)
{
    // What a dropped task holds may, while being destroyed, use the loop (an object whose
    // destructor cancels its own tasks, pending work ending): that must not deadlock.
    TaskEnvironment env;
    auto& loop = RunLoop::main();
    struct UsesTheLoopWhenDestroyed {
        int* destroyed;
        ~UsesTheLoopWhenDestroyed()
        {
            RunLoop::main().cancelAll(this);
            RunLoop::main().postDelayed(1, [] { });
            ++*destroyed;
        }
    };
    int destroyed = 0;
    int target;
    auto byId = loop.postDelayed(1, [held = std::make_shared<UsesTheLoopWhenDestroyed>(&destroyed)] { });
    loop.postDelayed(1, [held = std::make_shared<UsesTheLoopWhenDestroyed>(&destroyed)] { }, &target);
    EXPECT_TRUE(loop.cancel(byId));
    loop.cancelAll(&target);
    EXPECT_EQ(destroyed, 2);
}

TEST(RunLoop, TimersRunOnMonotonicTimeWhateverTheDateDoes)
{
    TaskEnvironment env(1'000);
    auto& loop = RunLoop::main();
    std::vector<double> fired; // the date each firing saw
    loop.postDelayed(std::chrono::seconds(10), [&] { fired.push_back(loop.now()); });
    loop.postRepeating(std::chrono::milliseconds(4'000), [&] { fired.push_back(-loop.now()); });

    // The user sets the date a day ahead: nothing fires early.
    env.clock().setNow(1'000 + 86'400);
    env.runUntilIdle();
    env.fastForwardBy(3.9);
    EXPECT_TRUE(fired.empty());
    // ...then a year back: nothing stalls.
    env.clock().setNow(1'000 - 365 * 86'400.0);
    env.fastForwardBy(6.1);
    const double back = 1'000 - 365 * 86'400.0;
    EXPECT_EQ(fired, (std::vector<double> { -(back + 0.1), -(back + 4.1), back + 6.1 }));
}

TEST(RunLoop, TheClockIsSafeToReadWhileTestsResetIt)
{
    // Another thread (the transfer thread checking cookie expiry) reads the clock while one
    // test after another sets it up.
    // What the reader sees depends on the clock an earlier test left; the sanitizers judge the
    // reads, so the test only makes sure they overlap the resets.
    std::atomic<bool> stop { false };
    std::atomic<bool> reading { false };
    std::thread reader([&] {
        volatile double seen = 0;
        do {
            seen = Clock::shared().now() + Clock::shared().monotonicNow() + RunLoop::main().nextDueIn();
            reading = true;
        } while (!stop.load());
        (void)seen;
    });
    while (!reading.load())
        std::this_thread::yield();
    for (int i = 0; i < 40; ++i) {
        TaskEnvironment env(1'000 + i);
        RunLoop::main().postDelayed(1, [] { });
        env.fastForwardBy(2);
    }
    stop = true;
    reader.join();
}

namespace {

// Runs `body` in a fresh environment on the manual clock, then in another on the real one.
void onBothClocks(const std::function<void(TaskEnvironment& env, bool manual)>& body)
{
    for (bool manual : { true, false }) {
        SCOPED_TRACE(manual ? "manual clock" : "real clock");
        TaskEnvironment env;
        if (!manual)
            env.clock().useSystemTime();
        body(env, manual);
    }
}

// A millisecond of the clock in use goes by: on the manual clock it is moved, on the real one
// waited out. A task that spends it outlasts a shorter interval on either.
void spendAMillisecond(TaskEnvironment& env, bool manual)
{
    auto& loop = RunLoop::main();
    const double until = loop.monotonicNow() + 0.001;
    if (manual)
        env.clock().advance(0.001);
    while (loop.monotonicNow() < until) {
    }
}

}

// Work that is always due again (a timer slower than its interval, tasks that re-arm
// themselves at zero delay) must not keep a pass from ending, on either clock: on the manual
// one time stands still inside a task, on the real one it runs on.
TEST(RunLoop, APassRunsOnlyWhatWasDueWhenItBegan)
{
    onBothClocks([&](TaskEnvironment& env, bool manual) {
        auto& loop = RunLoop::main();
        // A beat that takes longer than its interval: the clock passes the next due time.
        int beats = 0;
        RunLoop::TaskId slow = loop.postRepeating(0.0001, [&] {
            ++beats;
            spendAMillisecond(env, manual);
            if (beats > 100) // without passes this would never end: stop, and fail below
                loop.cancel(slow);
        });
        // Tasks that re-arm themselves twice at zero delay.
        int spawned = 0;
        std::function<void()> spawn = [&] {
            ++spawned;
            if (spawned < 100'000) {
                loop.postDelayed(0, spawn);
                loop.postDelayed(0, spawn);
            }
        };
        loop.postDelayed(0, spawn);
        spendAMillisecond(env, manual); // everything scheduled so far is due

        int posted = 0;
        for (int pass = 1; pass <= 3; ++pass) {
            loop.post([&] { ++posted; });
            loop.runPending();
            EXPECT_EQ(posted, pass); // posted work has its turn every pass
            EXPECT_LE(beats, pass);
            EXPECT_LE(spawned, (1 << pass) - 1);
        }
        EXPECT_GE(beats, 1);
        EXPECT_GE(spawned, 1);
        // A caller waiting for something still gets to ask, and its deadline still holds.
        bool flag = false;
        loop.post([&] { flag = true; });
        EXPECT_TRUE(loop.runUntil([&] { return flag; }, 30));
        loop.cancel(slow);
        loop.reset();
        EXPECT_LE(beats, 100);
    });
}

TEST(RunLoop, PassesAreCounted)
{
    TaskEnvironment env;
    auto& loop = RunLoop::main();
    auto before = loop.passCount();
    std::uint64_t seen = 0;
    loop.post([&] { seen = loop.passCount(); });
    loop.runPending();
    EXPECT_EQ(seen, before + 1);
    loop.runPending();
    EXPECT_EQ(loop.passCount(), before + 2);
}

// Idle means that nothing is ready: a task put off to the next turn by one that ran (as a
// reply's handler does with its follow-up) runs before the wait ends; a timer still to come
// does not hold it.
TEST(RunLoop, WaitingForIdleRunsWhatIsAlreadyDueButNotWhatIsToCome)
{
    TaskEnvironment env;
    auto& loop = RunLoop::main();
    bool followUp = false;
    bool later = false;
    loop.post([&] { loop.postDelayed(0.0, [&] { followUp = true; }); });
    loop.postDelayed(60.0, [&] { later = true; });
    EXPECT_TRUE(loop.waitUntilIdle(5));
    EXPECT_TRUE(followUp);
    EXPECT_FALSE(later);
}

// Idle must come on a page that never rests: work that keeps itself ready (a timer whose beat
// outlasts its interval, a job that posts itself again, a chain of zero delays) gets a bounded
// spell of real time once nothing is in flight, on either clock, and the caller learns that it
// was left ready. Short chains of follow-ups still run to their end, and a reply that comes
// while the busy work runs is waited for, with what its handler puts off.
TEST(RunLoop, WaitingForIdleEndsBesideWorkThatIsAlwaysReady)
{
    onBothClocks([&](TaskEnvironment& env, bool manual) {
        auto& loop = RunLoop::main();
        int beats = 0;
        RunLoop::TaskId busy = loop.postRepeating(0.0001, [&] {
            ++beats;
            spendAMillisecond(env, manual);
        });
        int reposts = 0;
        std::function<void()> again = [&] {
            ++reposts;
            loop.post(again);
        };
        loop.post(again);
        std::vector<int> chain;
        loop.post([&] {
            chain.push_back(1);
            loop.postDelayed(0, [&] {
                chain.push_back(2);
                loop.post([&] {
                    chain.push_back(3);
                    loop.postDelayed(0, [&] { chain.push_back(4); });
                });
            });
        });
        if (manual)
            env.clock().advance(0.001);
        bool cutShort = false;
        const auto waitBegan = std::chrono::steady_clock::now();
        EXPECT_TRUE(loop.waitUntilIdle(10, &cutShort));
        EXPECT_EQ(chain, (std::vector<int> { 1, 2, 3, 4 }));
        EXPECT_GE(reposts, 1);
        EXPECT_GE(std::chrono::steady_clock::now() - waitBegan, RunLoop::kFollowUpTime);
        EXPECT_TRUE(cutShort) << "the caller learns that the busy work was left ready";

        // A reply on its way while the work goes on: it lands only once the wait has gone on
        // longer than idle gives the busy work alone, and its follow-up runs too.
        std::atomic<bool> replied { false };
        bool followUp = false;
        loop.beginPendingWork();
        const auto replyWaitBegan = std::chrono::steady_clock::now();
        std::thread worker([&] {
            while (std::chrono::steady_clock::now() - replyWaitBegan <= RunLoop::kFollowUpTime) {
                std::this_thread::yield();
            }
            loop.post([&] {
                replied = true;
                loop.postDelayed(0, [&] { followUp = true; });
            });
            loop.endPendingWork();
        });
        EXPECT_TRUE(loop.waitUntilIdle(30));
        worker.join();
        EXPECT_TRUE(replied);
        EXPECT_TRUE(followUp);
        EXPECT_GT(beats, 0);
        loop.cancel(busy);
        loop.reset();

        // A reply that leaves nothing behind (its handler ends the work and puts nothing off)
        // ends the wait in the pass that ran it, rather than a wait for a post that never comes.
        loop.beginPendingWork();
        loop.post([&] { loop.endPendingWork(); });
        const std::uint64_t before = loop.passCount();
        EXPECT_TRUE(loop.waitUntilIdle(30, &cutShort));
        EXPECT_EQ(loop.passCount(), before + 1);
        EXPECT_FALSE(cutShort);
    });
}

// A chain of follow-ups, each step putting off the next (a page whose steps start one another,
// a reply's handler whose follow-up has its own), is waited out to its last step however many
// passes it takes, on either clock, and the wait does not count as cut short.
TEST(RunLoop, WaitingForIdleRunsALongChainOfFollowUpsToItsEnd)
{
    onBothClocks([&](TaskEnvironment& env, bool manual) {
        auto& loop = RunLoop::main();
        constexpr int kSteps = 100;
        int steps = 0;
        std::function<void()> step = [&] {
            if (++steps == kSteps)
                return;
            if (steps % 2)
                loop.post(step);
            else
                loop.postDelayed(0, step);
        };
        // The chain starts in the handler of a reply that lands while the wait goes on.
        loop.beginPendingWork();
        std::thread worker([&] {
            loop.post(step);
            loop.endPendingWork();
        });
        const std::uint64_t before = loop.passCount();
        bool cutShort = true;
        EXPECT_TRUE(loop.waitUntilIdle(30, &cutShort));
        worker.join();
        EXPECT_EQ(steps, kSteps);
        EXPECT_GE(loop.passCount(), before + kSteps) << "one step a pass";
        EXPECT_FALSE(cutShort);
        // A chain already posted when the wait begins, with no reply at all.
        steps = 0;
        loop.postDelayed(0, step);
        EXPECT_TRUE(loop.waitUntilIdle(30, &cutShort));
        EXPECT_EQ(steps, kSteps);
        EXPECT_FALSE(cutShort);
        loop.reset(); // a chain cut short must not run on once its state is gone
    });
}
