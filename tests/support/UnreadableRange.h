#pragma once

#include <cerrno>
#include <cstdint>
#include <string>

namespace testsupport {

// A stretch of a file that no read reaches, as on a disk with a bad sector: while an
// `UnreadableRange` lives, every read of the file that touches those bytes fails (with EIO unless
// told otherwise), when it is made at an offset (SQLite's page reads, the blocks of
// `pf::FileManager::readFile`, which every stored file read whole goes through) or by the kernel copying
// between files (a byte copy through sendfile or copy_file_range). The file is known by its device and inode, so
// another name for it (a hard link) is as unreadable, and a file written over it by a rename is
// not.
//
// The reads are caught by defining those system calls in the test program itself, ahead of the
// C library's (tests/CMakeLists.txt links this file into the programs that use it, and only
// those); one range at a time. A plain read() is left alone: the system libraries read their
// own descriptors through it, and a wrapper of ours in between would hide those callers from
// ThreadSanitizer, whose suppressions name them. The sleeps of the thread that made the range are
// caught the same way (see `waited`). Several ranges may live at once (a few sectors gone for
// good amid a disk that refuses every block once): a read is refused by the first range made
// that refuses it, and only that range counts the refusal.
class UnreadableRange {
public:
    static constexpr int kEveryRead = -1;
    // How `refusing` counts: the reads of the whole range, or the reads at each offset apart (a
    // disk whose every block is refused twice, then read).
    enum class Counted { InAll, AtEachOffset };
    // `refusing` reads are refused (every one by default); those after it read, as when a
    // disk's retry gets a sector back. They fail with `error`: EIO, what a bad sector gives,
    // or another (ETIMEDOUT, what a network file system gives while its server is away).
    UnreadableRange(const std::string& path, std::uint64_t offset, std::uint64_t length, int refusing = kEveryRead,
        int error = EIO, Counted counted = Counted::InAll);
    // A refusal that lasts a moment (a disk reset, a cable's hiccup): every read of the range is
    // refused until the code has waited `seconds` (see below), then all read.
    struct ForWaits {
        double seconds;
    };
    UnreadableRange(const std::string& path, std::uint64_t offset, std::uint64_t length, ForWaits waits, int error = EIO);
    // The same on the real clock: refused until `seconds` of real time have passed since now,
    // and the code's waits are slept for real.
    struct ForRealTime {
        double seconds;
    };
    UnreadableRange(const std::string& path, std::uint64_t offset, std::uint64_t length, ForRealTime time, int error = EIO);
    ~UnreadableRange();
    UnreadableRange(const UnreadableRange&) = delete;
    UnreadableRange& operator=(const UnreadableRange&) = delete;

    // Reads refused so far.
    static int refusals();
    // Seconds the thread that made the range asked to sleep while it lived (nanosleep, as
    // std::this_thread::sleep_for does). Unless the range runs on real time, those sleeps are
    // not slept: a disk's refusal is waited out at once, and a test of one that lasts does not
    // wait for real.
    static double waited();

private:
    void* m_range; // the range's state, kept where the system calls reach it
};

}
