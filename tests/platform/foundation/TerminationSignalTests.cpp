#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/TerminationSignal.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/ThreadSanitizer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace pf;

namespace {

// How a child forked now (it holds the watch as this process does) ends once it has done
// `then`: the status as waitpid gives it. The child calls only what is safe after a fork.
template <typename Then> int forkedChildEnds(Then then)
{
    pid_t child = fork();
    if (child == 0) {
        then();
        _exit(0);
    }
    int status = -1;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

}

// The first watched signal reaches the main loop once, where it ends a wait for idle that asks
// for it although a reply is still in flight; its descriptor stays readable for a wait on
// something else. One ignored before the watch stays ignored. After it, a second signal ends
// the process at once by its default action (a repeated hangup excepted), and the program can
// end by the first one itself once it has cleaned up.
TEST(TerminationSignal, TheFirstSignalReachesTheMainLoopOnceAndASecondEndsTheProcessAtOnce)
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
    int status = forkedChildEnds([] { TerminationSignal::endByTheSignal(); });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "no signal, nothing to end by: " << status;

    PendingWork inFlight; // a reply that never comes: only the signal ends the wait
    // This program's own write (the disk faults of tests/support) looks up the system's at its
    // first call, which is not safe in a handler: it is made here first.
    ASSERT_EQ(write(STDOUT_FILENO, "", 0), 0);
    std::raise(SIGUSR1);
    const auto began = std::chrono::steady_clock::now();
    EXPECT_FALSE(RunLoop::main().waitUntilIdle(60, nullptr, [&heard] { return !heard.empty(); }));
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(30)) << "the wait ended at the signal, not its bound";
    EXPECT_EQ(heard, std::vector<int> { SIGUSR1 });
    EXPECT_EQ(TerminationSignal::received(), SIGUSR1);
    EXPECT_EQ(poll(&arrived, 1, 0), 1);
    EXPECT_EQ(poll(&arrived, 1, 0), 1) << "and stays readable";

    for (int second : { SIGHUP, SIGUSR1 }) {
        status = forkedChildEnds([second] { std::raise(second); });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == second) << strsignal(second) << ": " << status;
    }
    status = forkedChildEnds([] { TerminationSignal::endByTheSignal(); });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGUSR1) << status;
    EXPECT_EQ(heard, std::vector<int> { SIGUSR1 }) << "nothing reached this process's loop since";
}

// Once the clean-up has begun a further signal lets it finish, and the end is by the first; one
// that is the first, during the clean-up, is not lost: the last look ends by it. After that look
// found none, nothing is left to act on a signal: it ends the process at once.
TEST(TerminationSignal, TheCleanUpFinishesAtAFurtherSignalAndTheLastLookMissesNone)
{
    TaskEnvironment env;
    TerminationSignal::watch({ SIGUSR1, SIGUSR2 }, [](int) {});
    ASSERT_EQ(write(STDOUT_FILENO, "", 0), 0); // (see above: the handler's write, looked up first)
    int status = forkedChildEnds([] {
        TerminationSignal::beginCleanUp();
        std::raise(SIGUSR1);
        std::raise(SIGUSR2);
        TerminationSignal::endByTheSignal();
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGUSR1) << status;
    status = forkedChildEnds([] {
        TerminationSignal::endByTheSignal();
        std::raise(SIGUSR2);
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGUSR2) << status;
}

// Signals pending together when the first is taken (sent while the program was stopped) are one
// request: none of them ends the process at once, and the end is by the first. One sent after
// the first was taken still does. The platform's threads keep the watched signals off
// themselves, for the main thread to take.
TEST(TerminationSignal, SignalsSentTogetherAreOneRequestAndThePlatformsThreadsLeaveThemToTheMainThread)
{
    TaskEnvironment env;
    TerminationSignal::watch({ SIGUSR1, SIGUSR2, SIGHUP }, [](int) {});
    ASSERT_EQ(write(STDOUT_FILENO, "", 0), 0); // (see above: the handler's write, looked up first)

    auto queue = DispatchQueue::create("signals");
    std::atomic<int> blocked { -1 };
    queue->async([&blocked] {
        sigset_t mask;
        pthread_sigmask(SIG_BLOCK, nullptr, &mask);
        blocked = sigismember(&mask, SIGUSR1) + sigismember(&mask, SIGUSR2) + sigismember(&mask, SIGHUP)
            + 10 * sigismember(&mask, SIGINT);
    });
    RunLoop::main().waitUntilIdle(60);
    EXPECT_EQ(blocked, 3) << "the watched signals, and only those, kept off the queue's thread";

    // The sanitizer takes every signal itself as it comes and runs the handlers later, so none
    // is left pending beside the first for the handler to see.
    if (ThreadSanitizer::isActive())
        return;
    // As they come to a stopped program: held back, then let through at once.
    auto sendHeldBack = [](std::initializer_list<int> signals) {
        sigset_t held;
        sigemptyset(&held);
        for (int signal : signals)
            sigaddset(&held, signal);
        sigprocmask(SIG_BLOCK, &held, nullptr);
        for (int signal : signals)
            std::raise(signal);
        sigprocmask(SIG_UNBLOCK, &held, nullptr);
    };
    int status = forkedChildEnds([&sendHeldBack] {
        sendHeldBack({ SIGHUP, SIGUSR1, SIGUSR2 });
        TerminationSignal::endByTheSignal();
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGHUP) << "ended by the first, once it looked: " << status;
    status = forkedChildEnds([&sendHeldBack] {
        sendHeldBack({ SIGUSR1, SIGUSR2 });
        std::raise(SIGUSR2); // the same signal again, later: a second request
        _exit(0);
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGUSR2) << status;
}
