#include "tests/support/UnreadableRange.h"

#include "tests/support/FullDisk.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <pthread.h>
#include <time.h>
#include <map>
#include <mutex>
#include <cerrno>
#include <dlfcn.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_armed { false };
std::atomic<int> g_refusals { 0 };
dev_t g_device;
ino_t g_inode;
std::uint64_t g_begin;
std::uint64_t g_end;
int g_limit;
int g_error;
bool g_eachOffset;
double g_forWaits; // > 0: refused until the making thread has waited this long
std::chrono::steady_clock::time_point g_until; // with g_realTime: refused until then
bool g_realTime;
pthread_t g_maker;
std::atomic<double> g_waited { 0 };
std::mutex g_mutex;
std::map<std::uint64_t, int> g_refusalsAt; // with g_eachOffset

// Whether a read of `count` bytes at `offset` of `fd` meets the range (and so fails).
bool refused(int fd, std::int64_t offset, std::size_t count)
{
    if (!g_armed.load(std::memory_order_acquire) || count == 0 || offset < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_dev != g_device || info.st_ino != g_inode)
        return false;
    const auto from = static_cast<std::uint64_t>(offset);
    if (from >= g_end || from + count <= g_begin)
        return false;
    if (g_realTime && std::chrono::steady_clock::now() >= g_until)
        return false;
    if (g_forWaits > 0 && g_waited.load() >= g_forWaits)
        return false;
    if (g_limit != testsupport::UnreadableRange::kEveryRead) {
        std::lock_guard lock(g_mutex);
        int& count = g_eachOffset ? g_refusalsAt[from] : g_refusalsAt[0];
        if (count >= g_limit)
            return false;
        ++count;
    }
    g_refusals.fetch_add(1);
    errno = g_error;
    return true;
}

template <typename F> F next(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

}

namespace testsupport {

UnreadableRange::UnreadableRange(const std::string& path, std::uint64_t offset, std::uint64_t length, int refusing, int error,
    Counted counted)
{
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    EXPECT_FALSE(g_armed.load()) << "one unreadable range at a time";
    g_device = info.st_dev;
    g_inode = info.st_ino;
    g_begin = offset;
    g_end = offset + length;
    g_limit = refusing;
    g_error = error;
    g_eachOffset = counted == Counted::AtEachOffset;
    g_forWaits = 0;
    g_realTime = false;
    g_waited = 0;
    g_maker = ::pthread_self();
    g_refusalsAt.clear();
    g_refusals = 0;
    g_armed.store(true, std::memory_order_release);
}

UnreadableRange::UnreadableRange(const std::string& path, std::uint64_t offset, std::uint64_t length, ForWaits waits, int error)
    : UnreadableRange(path, offset, length, kEveryRead, error)
{
    g_forWaits = waits.seconds;
}

UnreadableRange::UnreadableRange(const std::string& path, std::uint64_t offset, std::uint64_t length, ForRealTime time, int error)
    : UnreadableRange(path, offset, length, kEveryRead, error)
{
    g_realTime = true;
    g_until = std::chrono::steady_clock::now()
        + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(time.seconds));
}

UnreadableRange::~UnreadableRange()
{
    g_armed.store(false, std::memory_order_release);
}

int UnreadableRange::refusals()
{
    return g_refusals.load();
}

double UnreadableRange::waited()
{
    return g_waited.load();
}

}

namespace {

// A sleep of the thread that made the range, while it lives: counted, and not slept unless the
// range runs on real time.
bool sleepCounted(const timespec* asked)
{
    if (!g_armed.load(std::memory_order_acquire) || !asked || !::pthread_equal(::pthread_self(), g_maker))
        return false;
    double seconds = static_cast<double>(asked->tv_sec) + static_cast<double>(asked->tv_nsec) / 1e9;
    g_waited.store(g_waited.load() + seconds);
    return !g_realTime;
}

}

extern "C" {

int nanosleep(const timespec* asked, timespec* left)
{
    static auto real = next<int (*)(const timespec*, timespec*)>("nanosleep");
    return sleepCounted(asked) ? 0 : real(asked, left);
}

int clock_nanosleep(clockid_t clock, int flags, const timespec* asked, timespec* left)
{
    static auto real = next<int (*)(clockid_t, int, const timespec*, timespec*)>("clock_nanosleep");
    return flags == 0 && sleepCounted(asked) ? 0 : real(clock, flags, asked, left);
}

ssize_t pread64(int fd, void* buffer, size_t count, off64_t offset)
{
    static auto real = next<ssize_t (*)(int, void*, size_t, off64_t)>("pread64");
    return refused(fd, offset, count) ? -1 : real(fd, buffer, count, offset);
}

ssize_t pread(int fd, void* buffer, size_t count, off_t offset)
{
    static auto real = next<ssize_t (*)(int, void*, size_t, off_t)>("pread");
    return refused(fd, offset, count) ? -1 : real(fd, buffer, count, offset);
}

// The kernel's copies between files are caught here for both faults: a source that does not
// read here, a destination on a full disk (FullDisk).
ssize_t sendfile(int out, int in, off_t* offset, size_t count)
{
    static auto real = next<ssize_t (*)(int, int, off_t*, size_t)>("sendfile");
    if (testsupport::FullDisk::refuses(out, count))
        return -1;
    if (g_armed.load(std::memory_order_acquire) && refused(in, offset ? *offset : ::lseek(in, 0, SEEK_CUR), count))
        return -1;
    return real(out, in, offset, count);
}

ssize_t sendfile64(int out, int in, off64_t* offset, size_t count)
{
    static auto real = next<ssize_t (*)(int, int, off64_t*, size_t)>("sendfile64");
    if (testsupport::FullDisk::refuses(out, count))
        return -1;
    if (g_armed.load(std::memory_order_acquire) && refused(in, offset ? *offset : ::lseek(in, 0, SEEK_CUR), count))
        return -1;
    return real(out, in, offset, count);
}

ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t count, unsigned int flags)
{
    static auto real = next<ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned int)>("copy_file_range");
    if (testsupport::FullDisk::refuses(out, count))
        return -1;
    if (g_armed.load(std::memory_order_acquire) && refused(in, inOffset ? *inOffset : ::lseek(in, 0, SEEK_CUR), count))
        return -1;
    return real(in, inOffset, out, outOffset, count, flags);
}

}
