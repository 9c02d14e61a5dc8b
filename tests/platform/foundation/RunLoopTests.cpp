#include "platform/foundation/RunLoop.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>
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
    std::atomic<bool> stop { false };
    std::thread reader([&] {
        double sum = 0;
        while (!stop.load())
            sum += Clock::shared().now() + Clock::shared().monotonicNow() + RunLoop::main().nextDueIn();
        EXPECT_GT(sum, 0);
    });
    for (int i = 0; i < 40; ++i) {
        TaskEnvironment env(1'000 + i);
        RunLoop::main().postDelayed(1, [] { });
        env.fastForwardBy(2);
    }
    stop = true;
    reader.join();
}
