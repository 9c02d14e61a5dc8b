#pragma once

#include <functional>
#include <string>

namespace testsupport {

// A disk that takes its time over one file: while a `SlowDisk` lives, every read of the file
// made at an offset (SQLite's page reads) first calls `eachRead`, which a test gives the time a
// read takes on its manual clock (a slow card, a failing disk), so that what is bounded by time
// meets that time without a test waiting for it. The file is known by its device and inode, as
// `UnreadableRange` knows it, whose interception of the reads calls `reading`. One at a time.
class SlowDisk {
public:
    SlowDisk(const std::string& path, std::function<void()> eachRead);
    ~SlowDisk();
    SlowDisk(const SlowDisk&) = delete;
    SlowDisk& operator=(const SlowDisk&) = delete;

    // Reads of the file so far.
    static long reads();
    // Called by the interception before each read at an offset of `fd`.
    static void reading(int fd);
};

}
