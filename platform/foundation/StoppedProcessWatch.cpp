#include "platform/foundation/StoppedProcessWatch.h"

#include "platform/foundation/TerminationSignal.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pf {

namespace {

constexpr long kLookNanoseconds = 30'000'000;

// The hexadecimal mask after `label` in a /proc status text ("SigPnd:\t0000000000004002").
std::uint64_t maskAfter(const char* text, ssize_t size, const char* label)
{
    for (ssize_t at = 0; at < size; ++at) {
        if (at != 0 && text[at - 1] != '\n')
            continue;
        ssize_t matched = 0;
        while (label[matched] && at + matched < size && text[at + matched] == label[matched])
            ++matched;
        if (label[matched])
            continue;
        std::uint64_t mask = 0;
        for (ssize_t i = at + matched; i < size && text[i] != '\n'; ++i) {
            const char c = text[i];
            if (c >= '0' && c <= '9')
                mask = mask << 4 | static_cast<std::uint64_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                mask = mask << 4 | static_cast<std::uint64_t>(c - 'a' + 10);
        }
        return mask;
    }
    return 0;
}

// The child's whole life: only system calls.
[[noreturn]] void lookAfter(pid_t parent, std::uint64_t watched)
{
    ::setpgid(0, 0);
    char path[64] = "/proc/";
    char digits[24];
    int length = 0;
    for (pid_t rest = parent; rest > 0; rest /= 10)
        digits[length++] = static_cast<char>('0' + rest % 10);
    int at = 6;
    while (length > 0)
        path[at++] = digits[--length];
    for (const char* tail = "/status"; *tail;)
        path[at++] = *tail++;
    path[at] = '\0';

    char text[4096];
    for (;;) {
        if (::getppid() != parent)
            ::_exit(0);
        const int status = ::open(path, O_RDONLY | O_CLOEXEC);
        if (status < 0)
            ::_exit(0);
        const ssize_t size = ::read(status, text, sizeof text);
        ::close(status);
        // A bit n-1 of the masks is signal n.
        const std::uint64_t pending = (maskAfter(text, size, "SigPnd:\t") | maskAfter(text, size, "ShdPnd:\t")) << 1;
        if (pending & watched) {
            ::kill(parent, SIGCONT);
            ::_exit(0);
        }
        timespec pause { 0, kLookNanoseconds };
        ::nanosleep(&pause, nullptr);
    }
}

}

StoppedProcessWatch::StoppedProcessWatch()
{
    const std::uint64_t watched = TerminationSignal::watchedSignals();
    if (!watched)
        return;
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0)
        lookAfter(parent, watched);
    m_child = child;
}

StoppedProcessWatch::~StoppedProcessWatch()
{
    if (m_child <= 0)
        return;
    ::kill(m_child, SIGKILL);
    while (::waitpid(m_child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}
