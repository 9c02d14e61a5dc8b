#include "tests/support/SlowDisk.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sys/stat.h>

namespace {

std::atomic<bool> g_armed { false };
std::atomic<long> g_reads { 0 };
dev_t g_device;
ino_t g_inode;
std::function<void()>* g_eachRead = nullptr;

}

namespace testsupport {

SlowDisk::SlowDisk(const std::string& path, std::function<void()> eachRead)
{
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    EXPECT_FALSE(g_armed.load()) << "one slow disk at a time";
    g_device = info.st_dev;
    g_inode = info.st_ino;
    g_eachRead = new std::function<void()>(std::move(eachRead));
    g_reads = 0;
    g_armed.store(true, std::memory_order_release);
}

SlowDisk::~SlowDisk()
{
    g_armed.store(false, std::memory_order_release);
    delete g_eachRead;
    g_eachRead = nullptr;
}

long SlowDisk::reads()
{
    return g_reads.load();
}

void SlowDisk::reading(int fd)
{
    if (!g_armed.load(std::memory_order_acquire))
        return;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_dev != g_device || info.st_ino != g_inode)
        return;
    g_reads.fetch_add(1);
    (*g_eachRead)();
}

}
