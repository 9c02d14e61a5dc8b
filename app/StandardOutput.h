#pragma once

#include <cstdio>
#include <streambuf>

// The simulator's standard output: a stream buffer that writes to the descriptor under the C
// library's `stdout` itself, keeps the reason of the first write that failed, and gives way when
// the process is asked to end (pf::TerminationSignal) while the output takes nothing. A write
// that fails is an error of the run, as it is for the standard tools; the stream itself only
// remembers that some write failed, and the system's reason (errno) is long overwritten by the
// time the run ends. A plain write to a pipe whose reader has stopped reading (a pager waiting
// for a key) would wait as long as the reader does, and hold the signal's end up with it.
//
// Rules:
// - Bytes are kept here until a flush or a full buffer, then written out; what `stdout` holds
//   (the line editor writes there) goes out first, so the two keep their order.
// - Each write waits until the descriptor takes bytes or a termination signal has come, and then
//   writes no more than a pipe with room takes without waiting (pf::TerminationSignal::writeAll). Once the output takes
//   nothing and a signal has come, it counts as closed: nothing more is written, and that is no
//   failure (the run ends by the signal).
// - The first write that fails keeps its reason and leaves the stream over this buffer bad, so
//   it writes nothing more.
// - `finish` writes out what is kept and what the file buffers and gives the first reason, or 0
//   when everything went out or the output was closed at a signal. A failure the file saw in
//   another writer's write counts too, as EIO: its reason is gone.
class StandardOutput : public std::streambuf {
public:
    explicit StandardOutput(std::FILE* file);

    int finish();

protected:
    int_type overflow(int_type character) override;
    int sync() override;

private:
    bool writeOut();
    void keepFailure();

    std::FILE* m_file;
    int m_descriptor;
    int m_failure { 0 };
    bool m_closed { false };
    char m_buffer[4096];
};
