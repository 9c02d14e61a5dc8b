#include "platform/foundation/TerminationSignal.h"

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/SignalStack.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace pf {

namespace {

// What the handler reads and writes: lock-free atomics, which it may touch at any instant. The
// pipe's ends are set before any handler is installed.
std::atomic<int> g_received { 0 };
std::atomic<bool> g_cleaningUp { false };
std::atomic<int> g_readEnd { -1 };
std::atomic<int> g_writeEnd { -1 };
// The watched signals, one bit each, set once before any handler is installed; and those that
// were pending when the first was taken, which came with it (one bit each, cleared as each is
// taken in turn).
std::atomic<std::uint64_t> g_watched { 0 };
std::atomic<std::uint64_t> g_cameWithTheFirst { 0 };
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<std::uint64_t>::is_always_lock_free);

std::uint64_t bitOf(int signal)
{
    return signal > 0 && signal < 64 ? std::uint64_t { 1 } << signal : 0;
}

// The signals that end the process by default and that no one is taken to send on purpose to a
// program waiting at a prompt but to end it: caught, once the terminal's modes are kept, only to
// give them back before the default action. Faults (SIGSEGV, SIGABRT and the like) are the crash
// capture's, and SIGINT, SIGTERM and SIGHUP are watched.
bool endsByDefault(int signal)
{
    switch (signal) {
    case SIGQUIT:
    case SIGALRM:
    case SIGUSR1:
    case SIGUSR2:
    case SIGVTALRM:
    case SIGPROF:
    case SIGIO:
    case SIGPWR:
    case SIGSTKFLT:
    case SIGXCPU:
        return true;
    default:
        return signal >= SIGRTMIN && signal <= SIGRTMAX;
    }
}
// `g_received` once the last look found no signal: nothing is left to act on one.
constexpr int kLookedLast = -1;

// The terminal to give back and its modes: the modes are written once, before the descriptor is
// published, and only read after it.
termios g_terminalModes {};
std::atomic<int> g_terminal { -1 };

// Only what is safe in a handler: sigaction, sigprocmask and raise.
void endBy(int signal)
{
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    ::sigaction(signal, &byDefault, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
}

// Safe in a handler too: tcgetpgrp, getpgrp and tcsetattr. The modes go back at once, not once
// the output has drained: a terminal paused with Ctrl-S never drains.
void giveTerminalBack()
{
    const int terminal = g_terminal.load();
    if (terminal < 0)
        return;
    const int saved = errno;
    // A terminal that is not this process's own has no foreground group to be left out of.
    const pid_t foreground = ::tcgetpgrp(terminal);
    if (foreground < 0 || foreground == ::getpgrp())
        ::tcsetattr(terminal, TCSANOW, &g_terminalModes);
    errno = saved;
}

void endAtOnce(int signal)
{
    giveTerminalBack();
    endBy(signal);
}

void keepSignal(int signal)
{
    int first = 0;
    if (g_received.compare_exchange_strong(first, signal)) {
        int saved = errno;
        // Every signal is held back while this handler runs: the watched ones pending now were
        // sent while the program could not take them (stopped, as a closed terminal's shell sends
        // a stopped job SIGHUP, then SIGTERM and SIGCONT), and ask for the same end as this one.
        sigset_t pending;
        if (::sigpending(&pending) == 0) {
            std::uint64_t together = 0;
            for (int other = 1; other < 64; ++other) {
                if (other != signal && (g_watched.load() & bitOf(other)) && ::sigismember(&pending, other) == 1)
                    together |= bitOf(other);
            }
            g_cameWithTheFirst = together;
        }
        char byte = 1;
        [[maybe_unused]] ssize_t written = ::write(g_writeEnd.load(), &byte, 1);
        errno = saved;
        return;
    }
    if (first != kLookedLast && g_cleaningUp.load())
        return; // the clean-up finishes, and the end is by the first
    if (first != kLookedLast && (g_cameWithTheFirst.fetch_and(~bitOf(signal)) & bitOf(signal)))
        return; // sent with the first: one request
    if (signal == SIGHUP && first == SIGHUP)
        return; // the same hangup, told by the kernel and by the shell
    endAtOnce(signal);
}

}

void TerminationSignal::watch(std::initializer_list<int> signals, std::function<void(int signal)> onSignal)
{
    static std::once_flag once;
    std::call_once(once, [&] {
        RunLoop::main(); // made here, on the main thread, not first by the watching thread
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
            return; // the signals keep their default end
        g_readEnd = ends[0];
        g_writeEnd = ends[1];
        std::uint64_t watched = 0;
        for (int signal : signals)
            watched |= bitOf(signal);
        g_watched = watched;
        // The program's call is kept for good, so that nothing it holds is destroyed off the main
        // thread. The thread waits for the first signal only and ends once it has posted it;
        // until then it is left waiting, touching nothing at the process's end but the run loop,
        // which is never destroyed.
        static std::function<void(int)>* const call = new std::function<void(int)>(std::move(onSignal));
        std::thread([] {
            SignalStack stack;
            keepOffThisThread();
            // Named, so that a look at the process tells whether the first signal has been taken.
            ::pthread_setname_np(::pthread_self(), kWatcherName);
            pollfd arrived { g_readEnd.load(), POLLIN, 0 };
            while (::poll(&arrived, 1, -1) < 0 && errno == EINTR) {
            }
            if (arrived.revents & POLLIN)
                RunLoop::main().post([signal = g_received.load()] { (*call)(signal); });
        }).detach();
        struct sigaction action {};
        action.sa_handler = keepSignal;
        sigfillset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int signal : signals) {
            struct sigaction current {};
            if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
                continue;
            ::sigaction(signal, &action, nullptr);
        }
    });
}

std::uint64_t TerminationSignal::watchedSignals()
{
    return g_watched.load();
}

void TerminationSignal::keepOffThisThread()
{
    const std::uint64_t watched = g_watched.load();
    if (!watched)
        return;
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int signal = 1; signal < 64; ++signal) {
        if (watched & bitOf(signal))
            sigaddset(&blocked, signal);
    }
    ::pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
}

void TerminationSignal::beginCleanUp()
{
    g_cleaningUp = true;
}

void TerminationSignal::endByTheSignal()
{
    int signal = 0;
    if (!g_received.compare_exchange_strong(signal, kLookedLast) && signal != kLookedLast)
        endBy(signal);
}

void TerminationSignal::keepTerminalModes(int descriptor)
{
    static std::once_flag once;
    std::call_once(once, [descriptor] {
        if (::tcgetattr(descriptor, &g_terminalModes) != 0)
            return;
        g_terminal = descriptor;
        struct sigaction action {};
        action.sa_handler = endAtOnce;
        sigfillset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int signal = 1; signal <= SIGRTMAX; ++signal) {
            struct sigaction current {};
            if (!endsByDefault(signal) || ::sigaction(signal, nullptr, &current) != 0)
                continue;
            // Only one left to its default: an ignored one stays ignored, one handled is another's.
            if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_DFL)
                ::sigaction(signal, &action, nullptr);
        }
    });
}

TerminationSignal::Write TerminationSignal::writeAll(int descriptor, const char* bytes, std::size_t size)
{
    while (size > 0) {
        pollfd ready[2] = { { descriptor, POLLOUT, 0 }, { g_readEnd.load(), POLLIN, 0 } };
        if (::poll(ready, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return Write::Failed;
        }
        // Room, or an error the write will give (a reader gone, a closed descriptor), comes first.
        if (!ready[0].revents) {
            if (ready[1].revents)
                return Write::GaveWay;
            continue;
        }
        const ssize_t written = ::write(descriptor, bytes, std::min<std::size_t>(size, PIPE_BUF));
        if (written < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return Write::Failed;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return Write::Written;
}

int TerminationSignal::received()
{
    return std::max(g_received.load(), 0);
}

int TerminationSignal::descriptor()
{
    return g_readEnd.load();
}

}
