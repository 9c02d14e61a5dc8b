#pragma once

#include <cstddef>
#include <cstdint>

// The LM API layer's log: every line goes to the app's log (`pf::Log`), as
// "<time> -LMAPI- <file>:<line> <message>", and to "LMApi.log" in the documents folder, as
// "<time>-LMAPI- <file>:<line> <message>" (no blank after the time: the file's lines have
// always read so, and what reads the file may count on it).
//
// Rules:
// - The file is opened on the first line of the process (and again after a failed opening);
//   when it is then larger than kMaxSize it is cut to its last kKeptSize bytes, and a banner is
//   written. Sizes are 64-bit, so files of any size are cut. A new launch (`pf::ResetRegistry`)
//   closes it.
// - The cut is a copy (kTempFileName) renamed over the log in one step, so a process killed
//   on the way leaves the log whole; the copy it left is removed at the next opening, or takes
//   the log's name when the log is missing (a trim that removed the log first, as earlier
//   versions did).
// - Lines carry no tokens; share addresses may appear (an address that could not be opened).
// - Thread-safe: both lines of a call are written under one lock, so lines of several threads
//   come in the same order in the app's log and in the file.
class LMApiLogFile {
public:
    static constexpr std::uint64_t kMaxSize = 1048576;
    static constexpr std::uint64_t kKeptSize = 524288;
    static constexpr const char* kFileName = "LMApi.log";
    static constexpr const char* kTempFileName = "LMApiTemp.log";
};

// One log line; `format` is printf's.
void LMApiLog(const char* sourceFile, int line, const char* format, ...) __attribute__((format(printf, 3, 4)));
// Copies the text after the last "/" of `path` (all of it when there is none) into `buffer`
// (at most 63 characters and a NUL) and returns its length; 0 for no path or one ending in "/".
size_t LMApiGetLastPathComponent(const char* path, char (&buffer)[64]);

#define LMAPI_LOG(...) LMApiLog(__FILE__, __LINE__, __VA_ARGS__)
