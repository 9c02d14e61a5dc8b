#pragma once

#include <sys/types.h>

namespace pf {

// While this process is stopped by its own Ctrl-Z, a small child process looks after it: a signal
// that asks it to end (one TerminationSignal watches) sent while it is stopped waits until it is
// continued, and a shell sends SIGCONT after only some of them (bash after `kill %1` and
// `kill -HUP %1`, not after `kill -INT %1`). The child sees such a signal pending and continues
// the process, which then takes it and ends as it would in the foreground, its clean-up run.
//
// Rules:
// - Made on the main thread just before the stop, ended (`~`) as soon as the process goes on: the
//   child is killed and reaped then, so none outlives the stop.
// - The child is in a process group of its own, so that what a shell sends the stopped job
//   (SIGTSTP again, SIGINT) does not reach it; it does only what is safe in a child forked from
//   a process with threads (system calls, no allocation), and ends by itself once this process
//   has gone.
// - It looks every few hundredths of a second: a stopped program takes nothing meanwhile, and the
//   end follows the signal within moments.
// - Nothing is made where no signal is watched or the child cannot be started: the stop is then
//   as it always was.
class StoppedProcessWatch {
public:
    StoppedProcessWatch();
    ~StoppedProcessWatch();
    StoppedProcessWatch(const StoppedProcessWatch&) = delete;
    StoppedProcessWatch& operator=(const StoppedProcessWatch&) = delete;

private:
    pid_t m_child { -1 };
};

}
