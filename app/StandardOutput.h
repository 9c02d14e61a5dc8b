#pragma once

#include <cstdio>
#include <streambuf>

// The simulator's standard output: a stream buffer over the C library's `stdout` (the line
// editor writes there too, so the two keep their order) that keeps the reason of the first write
// that failed. A write that fails is an error of the run, as it is for the standard tools; the
// stream itself only remembers that some write failed, and the system's reason (errno) is long
// overwritten by the time the run ends.
//
// Rules:
// - Every write goes to the file at once (the file buffers it). The first that fails keeps its
//   reason and leaves the stream over this buffer bad, so it writes nothing more.
// - `finish` writes out what the file buffers and gives the first reason, or 0 when everything
//   went out. A failure the file saw in another writer's write counts too, as EIO: its reason
//   is gone.
class StandardOutput : public std::streambuf {
public:
    explicit StandardOutput(std::FILE* file);

    int finish();

protected:
    int_type overflow(int_type character) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    void keepFailure();

    std::FILE* m_file;
    int m_failure { 0 };
};
