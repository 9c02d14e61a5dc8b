#pragma once

#include <streambuf>

// Standard input as the simulator reads a script from it (`--script -`, or input that is no
// terminal): a stream buffer over the descriptor whose reads also watch a descriptor of wake-ups
// (the process being asked to end, pf::TerminationSignal). A plain blocking read would keep a
// signal's end waiting for the next line, which may never come.
//
// Rules:
// - A read waits until the input has bytes or ends, or the wake-up descriptor is readable. From
//   then on the input ends, as at its end, even with bytes left unread: the run is over.
// - The bytes are read here, not through the C library's `stdin`, whose buffer could hold the
//   next lines while the descriptor waits empty.
class StandardInput : public std::streambuf {
public:
    // `wakeUp` < 0: none (a plain read that waits for the input only).
    StandardInput(int descriptor, int wakeUp);

protected:
    int_type underflow() override;

private:
    int m_descriptor;
    int m_wakeUp;
    bool m_ended { false };
    char m_buffer[4096];
};
