#include "tests/support/UnreadableRange.h"

#include "platform/foundation/Clock.h"
#include "tests/support/FullDisk.h"

#include <gtest/gtest.h>

#include <atomic>
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
double g_until; // 0: refusals are counted, not timed
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
    if (g_until > 0 && pf::Clock::shared().monotonicNow() >= g_until)
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
    g_until = 0;
    g_refusalsAt.clear();
    g_refusals = 0;
    g_armed.store(true, std::memory_order_release);
}

UnreadableRange::UnreadableRange(const std::string& path, std::uint64_t offset, std::uint64_t length, Until until, int error)
    : UnreadableRange(path, offset, length, kEveryRead, error)
{
    g_until = until.monotonic;
}

UnreadableRange::~UnreadableRange()
{
    g_armed.store(false, std::memory_order_release);
}

int UnreadableRange::refusals()
{
    return g_refusals.load();
}

}

extern "C" {

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
