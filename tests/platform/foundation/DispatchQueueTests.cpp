#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/DispatchTimer.h"
#include "platform/foundation/ProcessExit.h"
#include "platform/foundation/RunLoop.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

using namespace pf;

TEST(DispatchQueue, RunsJobsInOrderOnItsOwnThreadAndPostsResultsBack)
{
    TaskEnvironment env;
    auto queue = DispatchQueue::create("stats.store");
    std::vector<int> order; // touched only on the queue
    std::vector<std::string> names;
    std::vector<int> delivered; // touched only on the main loop
    // The first job waits until the main thread has looked: a queued job counts as work under
    // way only until it has run, and a quick queue could otherwise be done before the check.
    std::promise<void> looked;
    auto lookedFuture = looked.get_future().share();
    for (int i = 0; i < 20; ++i)
        queue->async([&, i, lookedFuture] {
            if (i == 0)
                lookedFuture.wait();
            order.push_back(i);
            if (i == 0)
                names.push_back(DispatchQueue::currentQueueName());
            RunLoop::main().post([&, i] { delivered.push_back(i); });
        });
    EXPECT_GE(RunLoop::main().pendingWork(), 1);
    looked.set_value();
    ASSERT_TRUE(env.waitForPendingWork());
    std::vector<int> expected;
    for (int i = 0; i < 20; ++i)
        expected.push_back(i);
    EXPECT_EQ(order, expected);
    EXPECT_EQ(delivered, expected);
    EXPECT_EQ(names, std::vector<std::string> { "stats.store" });
    EXPECT_EQ(DispatchQueue::currentQueueName(), "main");
}

TEST(DispatchQueue, SyncWaitsAndRunsInlineFromItsOwnQueue)
{
    TaskEnvironment env;
    auto queue = DispatchQueue::create("q");
    int value = 0;
    queue->async([&] { value = 1; });
    queue->sync([&] { value += 10; });
    EXPECT_EQ(value, 11);
    bool inner = false;
    queue->sync([&] { queue->sync([&] { inner = queue->isCurrent(); }); });
    EXPECT_TRUE(inner);

    // Waiting on the main loop from a queue job.
    int onMain = 0;
    queue->async([&] { DispatchQueue::performOnMainAndWait([&] { onMain = RunLoop::main().isMainThread() ? 1 : -1; }); });
    ASSERT_TRUE(env.waitForPendingWork());
    EXPECT_EQ(onMain, 1);
}

TEST(DispatchQueue, JobsOutliveTheLastReference)
{
    TaskEnvironment env;
    std::atomic<int> ran { 0 };
    {
        auto queue = DispatchQueue::create("short-lived");
        for (int i = 0; i < 5; ++i)
            queue->async([&] { ++ran; });
    }
    ASSERT_TRUE(env.waitForPendingWork());
    EXPECT_EQ(ran.load(), 5);
}

TEST(DispatchQueue, AtTheProcessEndQueuedJobsFinishAndNewOnesAreRefused)
{
    TaskEnvironment env;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child's marks go to its standard error, in the order they are made.
    EXPECT_EXIT(
        {
            auto queue = DispatchQueue::create("ending");
            auto other = DispatchQueue::create("other");
            std::promise<void> started;
            queue->async([&started, queue, other] {
                started.set_value();
                auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
                while (!ProcessExit::isEnding() && std::chrono::steady_clock::now() < giveUp)
                    std::this_thread::yield();
                queue->async([] { std::fprintf(stderr, "[refused job ran]"); });
                bool ran = false;
                other->sync([&ran] { ran = true; });
                std::fprintf(stderr, ran ? "[sync ran]" : "[sync returned]");
                std::fprintf(stderr, "[first]");
            });
            queue->async([] { std::fprintf(stderr, "[second]"); });
            started.get_future().wait();
            std::exit(7);
        },
        testing::ExitedWithCode(7), "^\\[sync returned\\]\\[first\\]\\[second\\]$");
}

TEST(DispatchQueue, DelayedJobsWaitForVirtualTime)
{
    TaskEnvironment env;
    auto queue = DispatchQueue::create("q");
    std::atomic<bool> ran { false };
    queue->asyncAfter(5, [&] { ran = true; });
    env.fastForwardBy(4.9);
    ASSERT_TRUE(env.waitForPendingWork());
    EXPECT_FALSE(ran.load());
    env.fastForwardBy(0.1);
    ASSERT_TRUE(env.waitForPendingWork());
    EXPECT_TRUE(ran.load());
}

TEST(DispatchTimer, FiresAfterTheDelayThenEveryIntervalUntilCancelled)
{
    TaskEnvironment env(0);
    auto queue = DispatchQueue::create("script.update");
    auto timer = DispatchTimer::create(queue);
    std::mutex mutex;
    std::vector<double> times;
    timer->setHandler([&] {
        std::lock_guard lock(mutex);
        times.push_back(RunLoop::main().now());
    });
    timer->schedule(10, 60);
    env.fastForwardBy(100);
    EXPECT_EQ(timer->fireCount(), 0); // not resumed yet
    timer->resume();
    env.fastForwardBy(9.9);
    env.waitForPendingWork();
    EXPECT_TRUE(times.empty());
    env.fastForwardBy(0.1);
    env.waitForPendingWork();
    for (int i = 0; i < 2; ++i) {
        env.fastForwardBy(60);
        env.waitForPendingWork();
    }
    {
        std::lock_guard lock(mutex);
        ASSERT_EQ(times.size(), 3u);
    }
    timer->cancel();
    env.fastForwardBy(600);
    env.waitForPendingWork();
    EXPECT_EQ(times.size(), 3u);
    EXPECT_TRUE(timer->isCancelled());
    timer->resume(); // a cancelled timer stays cancelled
    env.fastForwardBy(600);
    env.waitForPendingWork();
    EXPECT_EQ(times.size(), 3u);
}

TEST(DispatchTimer, OneShotRescheduleAndMainLoopTimers)
{
    TaskEnvironment env(0);
    auto timer = DispatchTimer::create(); // on the main loop
    int fired = 0;
    timer->setHandler([&] { ++fired; });
    timer->schedule(5, 0);
    timer->resume();
    env.fastForwardBy(5);
    EXPECT_EQ(fired, 1);
    env.fastForwardBy(100);
    EXPECT_EQ(fired, 1);

    timer->schedule(10, 0);
    env.fastForwardBy(5);
    timer->schedule(10, 0); // replaces: counts from now
    env.fastForwardBy(9);
    EXPECT_EQ(fired, 1);
    env.fastForwardBy(1);
    EXPECT_EQ(fired, 2);

    timer->schedule(1, 1);
    timer->suspend();
    env.fastForwardBy(10);
    EXPECT_EQ(fired, 2);

    // Dropping the last reference stops it.
    timer->resume();
    env.fastForwardBy(1);
    EXPECT_EQ(fired, 3);
    timer.reset();
    env.fastForwardBy(10);
    EXPECT_EQ(fired, 3);
}
