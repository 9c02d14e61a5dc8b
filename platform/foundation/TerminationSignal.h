#pragma once

#include <functional>
#include <initializer_list>

namespace pf {

// The first of the signals that ask a program to end (SIGINT, SIGTERM, SIGHUP), handed to the
// main loop, where the program decides what to do, rather than acted on in the handler.
//
// A handler may call only what is safe at any instant, which leaves out the run loop, the
// allocator and every lock. So the handler keeps the signal's number and writes one byte to a
// pipe; a thread of the platform waiting on that pipe posts the call to the main loop, which the
// post wakes.
//
// Rules:
// - `watch` is called once, on the main thread, before anything is made that the end must undo
//   (later calls do nothing). A signal that was ignored when it is called stays ignored (nohup
//   ignores SIGHUP, a shell without job control starts a background job with SIGINT ignored):
//   the disposition is read first and only a default or handled one is replaced.
// - Only the first watched signal counts: its number is kept (`received`) and `onSignal` is
//   posted to the main loop with it, once. Those after it change nothing: the end has begun, and
//   a second Ctrl-C must not cut its clean-up short.
// - The handler restarts the system calls it interrupts (SA_RESTART), so code that does not
//   watch for the signal goes on as if none came. A wait that must end at the signal (a read of
//   standard input) polls `descriptor` beside what it waits for: it is readable from the first
//   signal on and stays so. (poll itself is never restarted: it returns EINTR.)
class TerminationSignal {
public:
    static void watch(std::initializer_list<int> signals, std::function<void(int signal)> onSignal);

    // Any thread: the first watched signal that arrived, 0 while none has.
    static int received();
    // Readable once a watched signal has arrived; -1 before `watch`, which poll passes over.
    static int descriptor();
    // Main thread: puts the watch's handler back on the signals it handles, where a library took
    // them over for a while. (The line editor's handler, while it reads a line, puts the
    // terminal back and sends the signal on to the whole process group: a SIGTERM sent to this
    // program alone would end the shell script that runs it too.)
    static void reclaim();
};

}
