// A library preloaded into a child program (LD_PRELOAD) that ends it with SIGKILL at one step of
// its writing, as a phone ends an app or a power cut ends a device: before or after the Nth
// rename, link, removal, creation, write or flush of a file under one folder. Run once without a
// step to kill at, it writes down every step it counted, so a test (or a sweep over a whole run)
// knows how many there are and which one to aim at.
//
// The environment says what to do (see KillAtStep.h for the test side):
//   QUORVANE_KILL_UNDER   the folder whose files count (required; nothing counts without it)
//   QUORVANE_KILL_KINDS   the kinds that count, separated by commas: rename, link, unlink,
//                         create, write, flush (all of them when unset)
//   QUORVANE_KILL_NAME    only steps one of whose paths holds this text count
//   QUORVANE_KILL_AT      the counted step (from 1) to kill at; unset: only count
//   QUORVANE_KILL_WHEN    "before" (the default: the step is not made) or "after" (it is made)
//   QUORVANE_KILL_LOG     a file every counted step is appended to, a line each:
//                         "N KIND PATH[ -> PATH]"
//   QUORVANE_KILL_HOLD    when set, the step is not the end: the thread making it calls the
//                         program's own `extern "C" void quorvane_kill_at_step_hold()` (the
//                         program exports it) before or after the step, and goes on when it
//                         returns, so that the program's other threads act while one of its
//                         writes stands at that step (a program without it is killed)
//   QUORVANE_KILL_WAIT_AT a FIFO: the step is not the end either; the thread making it opens
//                         the FIFO for reading, which waits until the test opens it for writing
//                         (the test then knows the step is reached), and goes on once the test
//                         has closed it: any program can be held so, from outside
//
// Only calls that reach the C library through the dynamic linker are seen: the system
// libraries' own calls inside the C library (stdio's buffered writes) are not, which is as
// well, since the app writes its files through these calls.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

enum Kind : unsigned {
    Rename = 1,
    Link = 2,
    Unlink = 4,
    Create = 8,
    Write = 16,
    Flush = 32,
};

const char* kindName(Kind kind)
{
    switch (kind) {
    case Rename: return "rename";
    case Link: return "link";
    case Unlink: return "unlink";
    case Create: return "create";
    case Write: return "write";
    case Flush: return "flush";
    }
    return "?";
}

struct Settings {
    bool active = false;
    char under[PATH_MAX] {};
    size_t underLength = 0;
    char underReal[PATH_MAX] {};
    size_t underRealLength = 0;
    unsigned kinds = Rename | Link | Unlink | Create | Write | Flush;
    char name[PATH_MAX] {};
    long at = 0; // 0: only count
    bool after = false;
    void (*hold)() = nullptr; // the program's, when it is to be held rather than killed
    char waitAt[PATH_MAX] {}; // the FIFO a held step waits at, when the hold is this library's
    int log = -1;
};

Settings g_settings;
pthread_mutex_t g_mutex = PTHREAD_MUTEX_INITIALIZER;
long g_count = 0;
// Set while this library makes calls of its own (its log, reading a descriptor's path), so
// they are neither counted nor looped through.
thread_local bool t_inside = false;

template <typename F> F next(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

ssize_t realWrite(int fd, const void* data, size_t size)
{
    static auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
    return real(fd, data, size);
}

void copyText(char* to, const char* from, size_t size)
{
    std::snprintf(to, size, "%s", from ? from : "");
}

// Holds the calling thread until the test has opened the FIFO for writing and closed it again.
// Signals that come meanwhile are handled as their handlers say; the waits go on after them.
void waitAtFifo()
{
    t_inside = true;
    int fifo;
    while ((fifo = ::open(g_settings.waitAt, O_RDONLY | O_CLOEXEC)) < 0 && errno == EINTR) {
    }
    for (char byte; fifo >= 0;) {
        ssize_t n = ::read(fifo, &byte, 1);
        if (n == 0 || (n < 0 && errno != EINTR))
            break;
    }
    if (fifo >= 0)
        ::close(fifo);
    t_inside = false;
}

__attribute__((constructor)) void readSettings()
{
    const char* under = std::getenv("QUORVANE_KILL_UNDER");
    if (!under || !*under)
        return;
    t_inside = true;
    copyText(g_settings.under, under, sizeof g_settings.under);
    g_settings.underLength = std::strlen(g_settings.under);
    while (g_settings.underLength > 1 && g_settings.under[g_settings.underLength - 1] == '/')
        g_settings.under[--g_settings.underLength] = 0;
    if (::realpath(g_settings.under, g_settings.underReal))
        g_settings.underRealLength = std::strlen(g_settings.underReal);
    if (const char* kinds = std::getenv("QUORVANE_KILL_KINDS"); kinds && *kinds) {
        g_settings.kinds = 0;
        const Kind all[] { Rename, Link, Unlink, Create, Write, Flush };
        for (Kind kind : all) {
            const char* name = kindName(kind);
            for (const char* p = std::strstr(kinds, name); p; p = std::strstr(p + 1, name)) {
                size_t length = std::strlen(name);
                if ((p == kinds || p[-1] == ',') && (p[length] == 0 || p[length] == ','))
                    g_settings.kinds |= kind;
            }
        }
    }
    copyText(g_settings.name, std::getenv("QUORVANE_KILL_NAME"), sizeof g_settings.name);
    if (const char* at = std::getenv("QUORVANE_KILL_AT"))
        g_settings.at = std::strtol(at, nullptr, 10);
    if (const char* when = std::getenv("QUORVANE_KILL_WHEN"))
        g_settings.after = std::strcmp(when, "after") == 0;
    if (const char* hold = std::getenv("QUORVANE_KILL_HOLD"); hold && *hold)
        g_settings.hold = reinterpret_cast<void (*)()>(::dlsym(RTLD_DEFAULT, "quorvane_kill_at_step_hold"));
    if (const char* fifo = std::getenv("QUORVANE_KILL_WAIT_AT"); fifo && *fifo) {
        copyText(g_settings.waitAt, fifo, sizeof g_settings.waitAt);
        g_settings.hold = waitAtFifo;
    }
    if (const char* log = std::getenv("QUORVANE_KILL_LOG"); log && *log) {
        static auto realOpen = next<int (*)(const char*, int, ...)>("open");
        g_settings.log = realOpen(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    }
    g_settings.active = true;
    t_inside = false;
}

bool startsWithFolder(const char* path, const char* folder, size_t length)
{
    return length > 0 && std::strncmp(path, folder, length) == 0 && (path[length] == '/' || path[length] == 0);
}

// The absolute form of `path` as seen from the folder `directory` (a descriptor, or AT_FDCWD).
void absolutePath(int directory, const char* path, char* out, size_t size)
{
    if (!path) {
        out[0] = 0;
        return;
    }
    if (path[0] == '/') {
        copyText(out, path, size);
        return;
    }
    char base[PATH_MAX];
    if (directory == AT_FDCWD) {
        if (!::getcwd(base, sizeof base))
            base[0] = 0;
    } else {
        char link[64];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", directory);
        ssize_t n = ::readlink(link, base, sizeof base - 1);
        base[n > 0 ? n : 0] = 0;
    }
    std::snprintf(out, size, "%s/%s", base, path);
}

void pathOfDescriptor(int fd, char* out, size_t size)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = ::readlink(link, out, size - 1);
    out[n > 0 ? n : 0] = 0;
}

bool under(const char* path)
{
    return startsWithFolder(path, g_settings.under, g_settings.underLength)
        || startsWithFolder(path, g_settings.underReal, g_settings.underRealLength);
}

// One step about to be made: whether it counts, and whether it is the one to die at. Returns
// the step's number when the process is to be killed after making it, 0 otherwise.
bool counts(Kind kind, const char* path, const char* second)
{
    if (!g_settings.active || t_inside || !(g_settings.kinds & kind))
        return false;
    if (!under(path) && !(second && under(second)))
        return false;
    if (g_settings.name[0] && !std::strstr(path, g_settings.name) && !(second && std::strstr(second, g_settings.name)))
        return false;
    return true;
}

void writeDown(long number, Kind kind, const char* path, const char* second)
{
    if (g_settings.log < 0)
        return;
    char line[2 * PATH_MAX + 64];
    int length = second ? std::snprintf(line, sizeof line, "%ld %s %s -> %s\n", number, kindName(kind), path, second)
                        : std::snprintf(line, sizeof line, "%ld %s %s\n", number, kindName(kind), path);
    if (length > 0)
        realWrite(g_settings.log, line, std::min<size_t>(static_cast<size_t>(length), sizeof line - 1));
}

[[noreturn]] void die()
{
    ::kill(::getpid(), SIGKILL);
    for (;;)
        ::pause();
}

// Counts the step; kills (or holds) before it when it is the one. True when the caller must
// kill (or hold) after making it.
bool step(Kind kind, const char* path, const char* second = nullptr)
{
    if (!counts(kind, path, second))
        return false;
    t_inside = true;
    pthread_mutex_lock(&g_mutex);
    long number = ++g_count;
    writeDown(number, kind, path, second);
    bool hit = g_settings.at > 0 && number == g_settings.at;
    if (hit && !g_settings.after && !g_settings.hold)
        die();
    // Held until the step is made, so no other thread's step runs between it and the kill; a
    // thread that is to be held lets the others go on.
    if (!hit || g_settings.hold)
        pthread_mutex_unlock(&g_mutex);
    t_inside = false;
    if (hit && !g_settings.after)
        g_settings.hold();
    return hit && g_settings.after;
}

// A step on a path given with a folder descriptor.
bool stepAt(Kind kind, int directory, const char* path, int secondDirectory = AT_FDCWD, const char* second = nullptr)
{
    if (!g_settings.active || t_inside || !(g_settings.kinds & kind))
        return false;
    t_inside = true;
    char first[PATH_MAX];
    absolutePath(directory, path, first, sizeof first);
    char other[PATH_MAX];
    if (second)
        absolutePath(secondDirectory, second, other, sizeof other);
    t_inside = false;
    return step(kind, first, second ? other : nullptr);
}

bool stepOnDescriptor(Kind kind, int fd)
{
    if (!g_settings.active || t_inside || !(g_settings.kinds & kind))
        return false;
    t_inside = true;
    char path[PATH_MAX];
    pathOfDescriptor(fd, path, sizeof path);
    t_inside = false;
    return step(kind, path);
}

template <typename R> R finish(bool killAfter, R result)
{
    if (killAfter && g_settings.hold)
        g_settings.hold();
    else if (killAfter)
        die();
    return result;
}

bool creates(int flags)
{
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

}

extern "C" {

int rename(const char* from, const char* to)
{
    static auto real = next<int (*)(const char*, const char*)>("rename");
    bool killAfter = stepAt(Rename, AT_FDCWD, from, AT_FDCWD, to);
    return finish(killAfter, real(from, to));
}

int renameat(int fromDirectory, const char* from, int toDirectory, const char* to)
{
    static auto real = next<int (*)(int, const char*, int, const char*)>("renameat");
    bool killAfter = stepAt(Rename, fromDirectory, from, toDirectory, to);
    return finish(killAfter, real(fromDirectory, from, toDirectory, to));
}

int renameat2(int fromDirectory, const char* from, int toDirectory, const char* to, unsigned int flags)
{
    static auto real = next<int (*)(int, const char*, int, const char*, unsigned int)>("renameat2");
    bool killAfter = stepAt(Rename, fromDirectory, from, toDirectory, to);
    return finish(killAfter, real(fromDirectory, from, toDirectory, to, flags));
}

int link(const char* from, const char* to)
{
    static auto real = next<int (*)(const char*, const char*)>("link");
    bool killAfter = stepAt(Link, AT_FDCWD, from, AT_FDCWD, to);
    return finish(killAfter, real(from, to));
}

int linkat(int fromDirectory, const char* from, int toDirectory, const char* to, int flags)
{
    static auto real = next<int (*)(int, const char*, int, const char*, int)>("linkat");
    bool killAfter = stepAt(Link, fromDirectory, from, toDirectory, to);
    return finish(killAfter, real(fromDirectory, from, toDirectory, to, flags));
}

int symlink(const char* target, const char* path)
{
    static auto real = next<int (*)(const char*, const char*)>("symlink");
    bool killAfter = stepAt(Link, AT_FDCWD, path);
    return finish(killAfter, real(target, path));
}

int unlink(const char* path)
{
    static auto real = next<int (*)(const char*)>("unlink");
    bool killAfter = stepAt(Unlink, AT_FDCWD, path);
    return finish(killAfter, real(path));
}

int unlinkat(int directory, const char* path, int flags)
{
    static auto real = next<int (*)(int, const char*, int)>("unlinkat");
    bool killAfter = stepAt(Unlink, directory, path);
    return finish(killAfter, real(directory, path, flags));
}

int rmdir(const char* path)
{
    static auto real = next<int (*)(const char*)>("rmdir");
    bool killAfter = stepAt(Unlink, AT_FDCWD, path);
    return finish(killAfter, real(path));
}

int remove(const char* path)
{
    static auto real = next<int (*)(const char*)>("remove");
    bool killAfter = stepAt(Unlink, AT_FDCWD, path);
    return finish(killAfter, real(path));
}

int mkdir(const char* path, mode_t mode)
{
    static auto real = next<int (*)(const char*, mode_t)>("mkdir");
    bool killAfter = stepAt(Create, AT_FDCWD, path);
    return finish(killAfter, real(path, mode));
}

int mkdirat(int directory, const char* path, mode_t mode)
{
    static auto real = next<int (*)(int, const char*, mode_t)>("mkdirat");
    bool killAfter = stepAt(Create, directory, path);
    return finish(killAfter, real(directory, path, mode));
}

#define QUORVANE_OPEN(NAME)                                                                        \
    int NAME(const char* path, int flags, ...)                                                     \
    {                                                                                              \
        static auto real = next<int (*)(const char*, int, ...)>(#NAME);                           \
        mode_t mode = 0;                                                                           \
        if (creates(flags)) {                                                                      \
            va_list arguments;                                                                     \
            va_start(arguments, flags);                                                            \
            mode = static_cast<mode_t>(va_arg(arguments, int));                                    \
            va_end(arguments);                                                                     \
        }                                                                                          \
        bool killAfter = creates(flags) && stepAt(Create, AT_FDCWD, path);                         \
        return finish(killAfter, real(path, flags, mode));                                         \
    }
QUORVANE_OPEN(open)
QUORVANE_OPEN(open64)
#undef QUORVANE_OPEN

#define QUORVANE_OPENAT(NAME)                                                                      \
    int NAME(int directory, const char* path, int flags, ...)                                      \
    {                                                                                              \
        static auto real = next<int (*)(int, const char*, int, ...)>(#NAME);                      \
        mode_t mode = 0;                                                                           \
        if (creates(flags)) {                                                                      \
            va_list arguments;                                                                     \
            va_start(arguments, flags);                                                            \
            mode = static_cast<mode_t>(va_arg(arguments, int));                                    \
            va_end(arguments);                                                                     \
        }                                                                                          \
        bool killAfter = creates(flags) && stepAt(Create, directory, path);                        \
        return finish(killAfter, real(directory, path, flags, mode));                              \
    }
QUORVANE_OPENAT(openat)
QUORVANE_OPENAT(openat64)
#undef QUORVANE_OPENAT

int creat(const char* path, mode_t mode)
{
    static auto real = next<int (*)(const char*, mode_t)>("creat");
    bool killAfter = stepAt(Create, AT_FDCWD, path);
    return finish(killAfter, real(path, mode));
}

// The temporary-name makers open their file inside the C library, where this library cannot
// see the call: the template names the folder, and the step is the making of the file.
#define QUORVANE_MKTEMP(NAME, PARAMETERS, ARGUMENTS)                                               \
    int NAME PARAMETERS                                                                            \
    {                                                                                              \
        static auto real = next<int(*) PARAMETERS>(#NAME);                                        \
        bool killAfter = stepAt(Create, AT_FDCWD, name);                                           \
        return finish(killAfter, real ARGUMENTS);                                                  \
    }
QUORVANE_MKTEMP(mkstemp, (char* name), (name))
QUORVANE_MKTEMP(mkstemp64, (char* name), (name))
QUORVANE_MKTEMP(mkostemp, (char* name, int flags), (name, flags))
QUORVANE_MKTEMP(mkstemps, (char* name, int suffix), (name, suffix))
QUORVANE_MKTEMP(mkostemps, (char* name, int suffix, int flags), (name, suffix, flags))
#undef QUORVANE_MKTEMP

char* mkdtemp(char* name)
{
    static auto real = next<char* (*)(char*)>("mkdtemp");
    bool killAfter = stepAt(Create, AT_FDCWD, name);
    return finish(killAfter, real(name));
}

ssize_t write(int fd, const void* data, size_t size)
{
    bool killAfter = stepOnDescriptor(Write, fd);
    return finish(killAfter, realWrite(fd, data, size));
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset)
{
    static auto real = next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    bool killAfter = stepOnDescriptor(Write, fd);
    return finish(killAfter, real(fd, data, size, offset));
}

ssize_t pwrite64(int fd, const void* data, size_t size, off64_t offset)
{
    static auto real = next<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64");
    bool killAfter = stepOnDescriptor(Write, fd);
    return finish(killAfter, real(fd, data, size, offset));
}

ssize_t writev(int fd, const struct iovec* pieces, int count)
{
    static auto real = next<ssize_t (*)(int, const struct iovec*, int)>("writev");
    bool killAfter = stepOnDescriptor(Write, fd);
    return finish(killAfter, real(fd, pieces, count));
}

int ftruncate(int fd, off_t length)
{
    static auto real = next<int (*)(int, off_t)>("ftruncate");
    bool killAfter = stepOnDescriptor(Write, fd);
    return finish(killAfter, real(fd, length));
}

int ftruncate64(int fd, off64_t length)
{
    static auto real = next<int (*)(int, off64_t)>("ftruncate64");
    bool killAfter = stepOnDescriptor(Write, fd);
    return finish(killAfter, real(fd, length));
}

ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t count, unsigned int flags)
{
    static auto real = next<ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned int)>("copy_file_range");
    bool killAfter = stepOnDescriptor(Write, out);
    return finish(killAfter, real(in, inOffset, out, outOffset, count, flags));
}

ssize_t sendfile(int out, int in, off_t* offset, size_t count)
{
    static auto real = next<ssize_t (*)(int, int, off_t*, size_t)>("sendfile");
    bool killAfter = stepOnDescriptor(Write, out);
    return finish(killAfter, real(out, in, offset, count));
}

ssize_t sendfile64(int out, int in, off64_t* offset, size_t count)
{
    static auto real = next<ssize_t (*)(int, int, off64_t*, size_t)>("sendfile64");
    bool killAfter = stepOnDescriptor(Write, out);
    return finish(killAfter, real(out, in, offset, count));
}

int fsync(int fd)
{
    static auto real = next<int (*)(int)>("fsync");
    bool killAfter = stepOnDescriptor(Flush, fd);
    return finish(killAfter, real(fd));
}

int fdatasync(int fd)
{
    static auto real = next<int (*)(int)>("fdatasync");
    bool killAfter = stepOnDescriptor(Flush, fd);
    return finish(killAfter, real(fd));
}

}
