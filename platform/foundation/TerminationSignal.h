#pragma once

#include <cstddef>
#include <cstdint>
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
//   posted to the main loop with it, once.
// - The watched signals are taken by the main thread: every thread the platform starts keeps them
//   off itself (`keepOffThisThread`), so that once the main thread goes on after a stop, what was
//   sent meanwhile has been taken.
// - A second one ends the process at once, as its default action would, whatever holds up the
//   end the first began (a write that waits for its reader, a slow disk): a person who presses
//   Ctrl-C again means it. Except:
//   - signals sent together with the first, that is, pending with it when it is taken (sent while
//     the program was stopped or could not run: a shell whose terminal closes sends a stopped job
//     SIGHUP, then SIGTERM and SIGCONT): they are one request, whose clean-up must run;
//   - a SIGHUP after a SIGHUP: a terminal that goes away sends it twice (the kernel and the
//     shell), and that is one request too;
//   - once the clean-up has begun (below).
// - The handler restarts the system calls it interrupts (SA_RESTART), so code that does not
//   watch for the signal goes on as if none came. A wait that must end at the signal (a read of
//   the next command, a write to an output that may stay full) polls `descriptor` beside what it
//   waits for: it is readable from the first signal on and stays so. (poll itself is never
//   restarted: it returns EINTR.)
// - Once the program's clean-up has begun (`beginCleanUp`: its run is over, and what is left only
//   removes and flushes what it made), a further signal lets it finish instead: ending at once
//   would leave what the clean-up removes (a temporary home holding a sign-in token). Everything
//   the clean-up waits for must give way at a signal (`writeAll` does), since nothing but the
//   clean-up itself ends it then. A second signal before that still ends the process at once.
// - The program ends by the signal once its clean-up is over (`endByTheSignal`), so that its
//   parent sees what ended it: a shell stops a loop at a Ctrl-C only when the program died of it,
//   and tells 130 from a death by SIGINT. That call is the last look: a signal that comes at any
//   moment before it, during the clean-up too, is acted on there, and one that comes after it
//   ends the process at once, since nothing is left to act on it.
// - The program gives a terminal whose modes it changes (a line editor's: no echo, no lines) back
//   as it found it on every way out it takes itself; a signal that ends the process at once does
//   so too once the modes are kept (`keepTerminalModes`). That is a second signal, one after the
//   last look, and SIGQUIT (Ctrl-\), caught from then on for that alone and then ended by its
//   default action, a core included, as a shell expects (an ignored SIGQUIT stays ignored). So too
//   every other signal whose default action ends the process and that is sent rather than caused
//   by a fault (SIGALRM, SIGUSR1, SIGUSR2, the real-time ones...): caught for that alone where it
//   is left to its default. Not while this program's group is in the background: the terminal's
//   modes are another's then.
class TerminationSignal {
public:
    // The name of the thread that waits for the first signal, until it has posted it.
    static constexpr const char* kWatcherName = "signal watch";

    static void watch(std::initializer_list<int> signals, std::function<void(int signal)> onSignal);

    // Any thread: the first watched signal that arrived, 0 while none has.
    static int received();
    // Readable once a watched signal has arrived; -1 before `watch`, which poll passes over.
    static int descriptor();
    // Writes `size` bytes to `descriptor` as a blocking write would, waiting for room, at most a
    // pipe's atomic size (PIPE_BUF) at a time, which a pipe with room takes without waiting; but
    // once a watched signal has come while the descriptor takes nothing (a reader that stopped
    // reading), it gives way. Failed leaves errno set.
    enum class Write { Written, GaveWay, Failed };
    static Write writeAll(int descriptor, const char* bytes, std::size_t size);
    // The watched signals, bit n for signal n; 0 before `watch`. Any thread.
    static std::uint64_t watchedSignals();
    // Keeps the watched signals off the calling thread, for the main thread to take; called first
    // by every thread the platform starts. Before `watch`, nothing.
    static void keepOffThisThread();
    // The program's clean-up has begun: from now on a further signal lets it finish (see Rules).
    static void beginCleanUp();
    // The last look for a signal, the last thing before the process ends: ends it by the signal
    // received, its default action put back, unblocked and raised, as if it had never been
    // caught. Nothing else runs: the caller has flushed what it writes and removed what it must.
    // When none has come it returns, and a watched signal that comes later ends the process at
    // once. Safe at any instant (the handler does the same at a second signal).
    static void endByTheSignal();
    // Keeps the modes the terminal at `descriptor` has now, to put them back whenever a signal
    // ends the process at once; and catches SIGQUIT and the other signals sent to end a program
    // for that (see Rules), where each is left to its default. Once, on the main thread, before
    // the program changes the modes; later calls do nothing.
    static void keepTerminalModes(int descriptor);
};

}
