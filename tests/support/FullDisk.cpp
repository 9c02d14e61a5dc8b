#include "tests/support/FullDisk.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <sys/sendfile.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_armed { false };
std::atomic<int> g_refusals { 0 };
char g_folder[PATH_MAX];
size_t g_folderLength = 0;

template <typename F> F next(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

void arm(const char* folder)
{
    // Descriptors name their files by the real path.
    if (!::realpath(folder, g_folder))
        std::snprintf(g_folder, sizeof g_folder, "%s", folder);
    g_folderLength = std::strlen(g_folder);
    while (g_folderLength > 1 && g_folder[g_folderLength - 1] == '/')
        g_folder[--g_folderLength] = 0;
    g_refusals = 0;
    g_armed.store(true, std::memory_order_release);
}

// Preloaded into another program: its disk is full from the start.
__attribute__((constructor)) void armFromEnvironment()
{
    if (const char* folder = std::getenv("QUORVANE_FULL_DISK_UNDER"); folder && *folder)
        arm(folder);
}

}

namespace testsupport {

FullDisk::FullDisk(const std::string& folder)
{
    arm(folder.c_str());
}

FullDisk::~FullDisk()
{
    g_armed.store(false, std::memory_order_release);
}

int FullDisk::refusals()
{
    return g_refusals.load();
}

bool FullDisk::refuses(int fd, size_t count)
{
    if (!g_armed.load(std::memory_order_acquire) || count == 0)
        return false;
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[PATH_MAX];
    ssize_t n = ::readlink(link, path, sizeof path - 1);
    if (n <= 0)
        return false;
    path[n] = 0;
    if (std::strncmp(path, g_folder, g_folderLength) != 0 || path[g_folderLength] != '/')
        return false;
    g_refusals.fetch_add(1);
    errno = ENOSPC;
    return true;
}

}

extern "C" {

ssize_t write(int fd, const void* data, size_t count)
{
    static auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
    return testsupport::FullDisk::refuses(fd, count) ? -1 : real(fd, data, count);
}

ssize_t pwrite(int fd, const void* data, size_t count, off_t offset)
{
    static auto real = next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    return testsupport::FullDisk::refuses(fd, count) ? -1 : real(fd, data, count, offset);
}

ssize_t pwrite64(int fd, const void* data, size_t count, off64_t offset)
{
    static auto real = next<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64");
    return testsupport::FullDisk::refuses(fd, count) ? -1 : real(fd, data, count, offset);
}

ssize_t writev(int fd, const struct iovec* pieces, int count)
{
    static auto real = next<ssize_t (*)(int, const struct iovec*, int)>("writev");
    size_t total = 0;
    for (int i = 0; i < count; ++i)
        total += pieces[i].iov_len;
    return testsupport::FullDisk::refuses(fd, total) ? -1 : real(fd, pieces, count);
}

// The kernel's copies between files. Weak: a test program links UnreadableRange.cpp's, which ask
// `refuses` as well; preloaded alone, these are the ones.
__attribute__((weak)) ssize_t sendfile(int out, int in, off_t* offset, size_t count)
{
    static auto real = next<ssize_t (*)(int, int, off_t*, size_t)>("sendfile");
    return testsupport::FullDisk::refuses(out, count) ? -1 : real(out, in, offset, count);
}

__attribute__((weak)) ssize_t sendfile64(int out, int in, off64_t* offset, size_t count)
{
    static auto real = next<ssize_t (*)(int, int, off64_t*, size_t)>("sendfile64");
    return testsupport::FullDisk::refuses(out, count) ? -1 : real(out, in, offset, count);
}

__attribute__((weak)) ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t count, unsigned int flags)
{
    static auto real = next<ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned int)>("copy_file_range");
    return testsupport::FullDisk::refuses(out, count) ? -1 : real(in, inOffset, out, outOffset, count, flags);
}

}
