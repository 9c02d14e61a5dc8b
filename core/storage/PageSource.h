#pragma once

#include <cstddef>
#include <cstdint>

// Where the pages of a damaged database file come from: its bytes, read at an offset. The page
// size is not the source's to know (the file's first page, which gives it, may not read): the
// reader (PageReader) works it out. A test gives a fake one; the mend reads the file through the
// store's patient reads (FilePageSource).
class PageSource {
public:
    enum class Read {
        Ok,
        Refused, // not there for good: a bad sector, or past the file's end
        Failed,  // failed for a reason that may pass (a time-out): the mend waits for a later try
    };

    virtual ~PageSource() = default;
    // The file's size in bytes.
    virtual std::uint64_t size() const = 0;
    // Where the bytes the file holds end: a sparse tail (a hole the file system stores nothing
    // for) reads as zeros, no page of a database, so it is neither read nor given time.
    virtual std::uint64_t dataEnd() const { return size(); }
    // Reads `length` bytes at `offset` into `into`: all of them, or none are Ok.
    virtual Read read(std::uint64_t offset, std::size_t length, std::uint8_t* into) = 0;
};
