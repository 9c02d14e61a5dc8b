#include "tests/support/UnreadableRange.h"

#include "tests/support/FullDisk.h"
#include "tests/support/SlowDisk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <pthread.h>
#include <time.h>
#include <map>
#include <mutex>
#include <vector>
#include <cerrno>
#include <dlfcn.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

// One range that lives; several may, each refusing its part.
struct Range {
    dev_t device {};
    ino_t inode {};
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    int limit = 0;
    int error = 0;
    bool eachOffset = false;
    double forWaits = 0; // > 0: refused until the making thread has waited this long
    std::chrono::steady_clock::time_point until; // with realTime: refused until then
    bool realTime = false;
    pthread_t maker {};
    std::map<std::uint64_t, int> refusalsAt; // with eachOffset; else at 0, for the whole range
};

std::atomic<bool> g_armed { false };
std::atomic<int> g_refusals { 0 };
std::atomic<double> g_waited { 0 };
std::mutex g_mutex;
std::vector<Range*> g_ranges; // in the order they were made

// Whether `range` refuses a read of `count` bytes at `from` of the file `info` names (and counts
// the refusal). Under g_mutex.
bool refusedBy(Range& range, const struct stat& info, std::uint64_t from, std::size_t count)
{
    if (info.st_dev != range.device || info.st_ino != range.inode)
        return false;
    if (from >= range.end || from + count <= range.begin)
        return false;
    if (range.realTime && std::chrono::steady_clock::now() >= range.until)
        return false;
    if (range.forWaits > 0 && g_waited.load() >= range.forWaits)
        return false;
    if (range.limit != testsupport::UnreadableRange::kEveryRead) {
        int& made = range.refusalsAt[range.eachOffset ? from : 0];
        if (made >= range.limit)
            return false;
        ++made;
    }
    return true;
}

// Whether a read of `count` bytes at `offset` of `fd` meets a range that refuses it (and so
// fails, with that range's error). The ranges are asked in the order they were made.
bool refused(int fd, std::int64_t offset, std::size_t count)
{
    if (!g_armed.load(std::memory_order_acquire) || count == 0 || offset < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return false;
    std::lock_guard lock(g_mutex);
    for (Range* range : g_ranges) {
        if (refusedBy(*range, info, static_cast<std::uint64_t>(offset), count)) {
            g_refusals.fetch_add(1);
            errno = range->error;
            return true;
        }
    }
    return false;
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
    auto* range = new Range();
    range->device = info.st_dev;
    range->inode = info.st_ino;
    range->begin = offset;
    range->end = offset + length;
    range->limit = refusing;
    range->error = error;
    range->eachOffset = counted == Counted::AtEachOffset;
    range->maker = ::pthread_self();
    m_range = range;
    std::lock_guard lock(g_mutex);
    // The counts start again with the first range of a test.
    if (g_ranges.empty()) {
        g_waited = 0;
        g_refusals = 0;
    }
    g_ranges.push_back(range);
    g_armed.store(true, std::memory_order_release);
}

UnreadableRange::UnreadableRange(const std::string& path, std::uint64_t offset, std::uint64_t length, ForWaits waits, int error)
    : UnreadableRange(path, offset, length, kEveryRead, error)
{
    std::lock_guard lock(g_mutex);
    static_cast<Range*>(m_range)->forWaits = waits.seconds;
}

UnreadableRange::UnreadableRange(const std::string& path, std::uint64_t offset, std::uint64_t length, ForRealTime time, int error)
    : UnreadableRange(path, offset, length, kEveryRead, error)
{
    std::lock_guard lock(g_mutex);
    auto* range = static_cast<Range*>(m_range);
    range->realTime = true;
    range->until = std::chrono::steady_clock::now()
        + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(time.seconds));
}

UnreadableRange::~UnreadableRange()
{
    std::lock_guard lock(g_mutex);
    auto* range = static_cast<Range*>(m_range);
    g_ranges.erase(std::find(g_ranges.begin(), g_ranges.end(), range));
    delete range;
    g_armed.store(!g_ranges.empty(), std::memory_order_release);
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
    if (!g_armed.load(std::memory_order_acquire) || !asked)
        return false;
    bool realTime = false;
    {
        std::lock_guard lock(g_mutex);
        auto made = std::find_if(g_ranges.begin(), g_ranges.end(), [](const Range* range) { return ::pthread_equal(::pthread_self(), range->maker); });
        if (made == g_ranges.end())
            return false;
        realTime = std::any_of(g_ranges.begin(), g_ranges.end(), [](const Range* range) { return range->realTime; });
    }
    double seconds = static_cast<double>(asked->tv_sec) + static_cast<double>(asked->tv_nsec) / 1e9;
    g_waited.store(g_waited.load() + seconds);
    return !realTime;
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
    testsupport::SlowDisk::reading(fd);
    return refused(fd, offset, count) ? -1 : real(fd, buffer, count, offset);
}

ssize_t pread(int fd, void* buffer, size_t count, off_t offset)
{
    static auto real = next<ssize_t (*)(int, void*, size_t, off_t)>("pread");
    testsupport::SlowDisk::reading(fd);
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
