#pragma once

#include <cstddef>
#include <cstdint>

namespace pf {

// The way every SQLite file of the app is read (the booked store, the statistics log, the LM
// Connect statistics): SQLite's default file system, with one difference. A read that fails
// (the disk refuses it, or a network file system times out) is made again a few times before
// the failure reaches SQLite, as a disk's own retry may get a sector back. Every read of a store
// goes through it: its operations, a check of the file, the journal rolled back, and the
// reading of a damaged file when it is mended, so that all of them are as patient. The files
// read whole go the same way through `FileManager::readFile`.
//
// Rules:
// - A failed read is made again at once, up to `kRetriesPerRead` more times; a short read (the
//   file ends) is no failure and is not made again, and neither is a read that timed out (it has
//   waited its time already; made again back to back, it would only wait as long again).
// - Each part of the file gets its own retries: a read (its offset and length) that failed at
//   every try is remembered for the opened file, with its failure, and the same read again fails
//   so at once, without reaching the disk (a later opening of the file reads it again: a refusal
//   may pass). A read of another length at that offset is another part: a page at the start of
//   a larger read that failed may read whole. So a few sectors the disk never gives back do not take the retries of the others, and a disk
//   whose other reads pass within their retries is read whole, however many it refuses once; a
//   page refused for good costs `kRetriesPerRead` reads more, once, however often the reading
//   of a damaged file comes back to it. Past `kRememberedOffsets` such reads a new failure
//   gets no retries, which bounds both the memory and the reads.
// - Nothing is memory-mapped: a mapped page would bypass the retries.
// - What still fails after the retries is counted by kind (`failures`), for each thread apart
//   (SQLite reads on the thread that calls it), so that a caller whose SQLite call reports no
//   code (a check that describes what it could not read as text), or reports a refused read as
//   damage, can tell a refusal or a failure that may pass from damage, whatever the stores of
//   other threads meet meanwhile.
class RetryingReadVfs {
public:
    static constexpr int kRetriesPerRead = 3;
    static constexpr std::size_t kRememberedOffsets = 65'536;

    // The name to open a database with; the file system is registered (not as the default) on
    // first use.
    static const char* name();

    // Reads of the calling thread that failed even when made again, since the thread began:
    // refused by the disk (SQLite's SQLITE_IOERR_CORRUPTFS, what a bad sector gives), or failed
    // otherwise (a time-out, a file that went stale: they may pass).
    struct Failures {
        std::uint64_t refused = 0;
        std::uint64_t other = 0;
        // Whether any read failed between `before` and this count.
        bool anySince(const Failures& before) const { return refused != before.refused || other != before.other; }
    };
    static Failures failures();
};

}
