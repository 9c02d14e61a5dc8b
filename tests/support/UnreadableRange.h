#pragma once

#include <cstdint>
#include <string>

namespace testsupport {

// A stretch of a file that no read reaches, as on a disk with a bad sector: while an
// `UnreadableRange` lives, every read of the file that touches those bytes fails with EIO,
// whoever makes it (SQLite's page reads, a byte copy through read, sendfile or
// copy_file_range). The file is known by its device and inode, so another name for it (a
// hard link) is as unreadable, and a file written over it by a rename is not.
//
// The reads are caught by defining the system's read functions in the test program itself,
// ahead of the C library's (tests/CMakeLists.txt links this file into the programs that use
// it, and only those); one range at a time.
class UnreadableRange {
public:
    UnreadableRange(const std::string& path, std::uint64_t offset, std::uint64_t length);
    ~UnreadableRange();
    UnreadableRange(const UnreadableRange&) = delete;
    UnreadableRange& operator=(const UnreadableRange&) = delete;

    // Reads refused so far.
    static int refusals();
};

}
