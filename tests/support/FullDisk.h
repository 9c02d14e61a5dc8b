#pragma once

#include <cstddef>
#include <string>

namespace testsupport {

// A disk that is full under one folder: while a `FullDisk` lives, every write of bytes to a file
// under `folder` fails with ENOSPC, whether made by write, pwrite or writev, or by the kernel
// copying between files (sendfile, copy_file_range). Names are still made, renamed and
// removed, as a full disk allows while its folders have room, and files elsewhere are written
// as usual. One at a time.
//
// The writes are caught by defining those system calls in the test program itself, ahead of the
// C library's (tests/CMakeLists.txt links this file into the programs that use it, and only
// those, with UnreadableRange.cpp, whose kernel copies ask `refuses` too). Built alone as a
// library and preloaded (g++ -shared -fPIC -I. tests/support/FullDisk.cpp -ldl), it fills the
// disk of another program from its start, under the folder named by the environment variable
// QUORVANE_FULL_DISK_UNDER.
class FullDisk {
public:
    explicit FullDisk(const std::string& folder);
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    // Writes refused so far.
    static int refusals();
    // Whether a write of `count` bytes to `fd` is refused now (with errno set).
    static bool refuses(int fd, size_t count);
};

}
