#include "platform/foundation/RunLoop.h"
#include "platform/foundation/TerminationSignal.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <poll.h>
#include <unistd.h>
#include <vector>

using namespace pf;

// The first watched signal reaches the main loop once, where it ends a wait for idle that asks
// for it although a reply is still in flight; its descriptor stays readable for a wait on
// something else. A later signal changes nothing, and one ignored before the watch stays ignored.
TEST(TerminationSignal, TheFirstSignalReachesTheMainLoopOnceAndAnIgnoredOneStaysIgnored)
{
    TaskEnvironment env;
    std::signal(SIGUSR2, SIG_IGN);
    std::vector<int> heard;
    TerminationSignal::watch({ SIGUSR1, SIGHUP, SIGUSR2 }, [&heard](int signal) { heard.push_back(signal); });
    struct sigaction ignored {};
    ASSERT_EQ(sigaction(SIGUSR2, nullptr, &ignored), 0);
    EXPECT_EQ(ignored.sa_handler, SIG_IGN);
    pollfd arrived { TerminationSignal::descriptor(), POLLIN, 0 };
    EXPECT_EQ(poll(&arrived, 1, 0), 0) << "nothing has come yet";
    EXPECT_EQ(TerminationSignal::received(), 0);

    PendingWork inFlight; // a reply that never comes: only the signal ends the wait
    // This program's own write (the disk faults of tests/support) looks up the system's at its
    // first call, which is not safe in a handler: it is made here first.
    ASSERT_EQ(write(STDOUT_FILENO, "", 0), 0);
    std::raise(SIGUSR1);
    std::raise(SIGHUP);
    const auto began = std::chrono::steady_clock::now();
    EXPECT_FALSE(RunLoop::main().waitUntilIdle(60, nullptr, [&heard] { return !heard.empty(); }));
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(30)) << "the wait ended at the signal, not its bound";
    EXPECT_EQ(heard, std::vector<int> { SIGUSR1 });
    EXPECT_EQ(TerminationSignal::received(), SIGUSR1);
    EXPECT_EQ(poll(&arrived, 1, 0), 1);
    EXPECT_EQ(poll(&arrived, 1, 0), 1) << "and stays readable";
}
