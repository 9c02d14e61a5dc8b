#pragma once

#include <functional>

namespace pf {

// The end of the process while the platform's threads still work.
//
// `exit` (and the return from `main`) runs the handlers registered with atexit in the reverse
// order of their registration, and the libraries free their state in theirs: OpenSSL its locks,
// the C++ run-time the static objects made before. A queue job or a transfer still running then
// uses what was freed. So the platform ends its own threads first.
//
// Rules:
// - `install` runs before every platform thread starts (serial queues, the HTTP worker); it
//   initialises the libraries those threads use and only then registers the end, which therefore
//   runs before their clean-up. Idempotent, any thread.
// - At the end, on the exiting thread: serial queues take no more work (what is handed to them
//   is dropped, `sync` returns without running it); the jobs they already hold run to their end;
//   the HTTP worker leaves its loop at once, with transfers under way left as they are. Timer
//   sources hand their firings to a queue or to the main loop, neither of which runs them now.
// - All of that within `kGraceSeconds`. Work still running after it (a job waiting for the main
//   loop, which no longer turns) would run into the clean-up: the process then ends at once with
//   its exit status and its output flushed, skipping the clean-up. (An exit called from a queue
//   job ends so, after the bound: that job cannot end before the exit does.)
// - What that work may reach is never destroyed. The clean-up destroys function-local statics
//   too, and one first made after `install` (that is, after the first queue or transfer) is
//   destroyed before the end waits for the work, the handlers running in reverse order. So a
//   function-local static that a queue job, the HTTP worker or a timer source's work can reach
//   is made once and never destroyed: `static T& x = *new T(...)` (memory reached from a static
//   counts as in use, not leaked). One whose type has nothing to destroy (a number, a flag, a
//   table of plain texts) may stay as it is, and so may one only the main thread touches: it
//   runs nothing once the end has begun. Objects at namespace scope are made before `main`,
//   so they are destroyed after the wait.
// - A child forked without a new program has none of its parent's threads: its exit waits for
//   nothing.
class ProcessExit {
public:
    static constexpr double kGraceSeconds = 5;

    static void install();
    static bool isEnding();

    // Work that has to be over before the clean-up: a queue's job from when it is accepted until
    // it has run, a worker thread's loop. False, counting nothing, once the process is ending.
    static bool beginWork();
    static void endWork();
    // Called at the end before waiting, to wake a worker that sleeps on something else (the HTTP
    // worker's poll), so it sees the end at once.
    static void addWaker(std::function<void()> wake);
};

}
