// quorvane: the app on a simulated device, driven by commands.
//
//   quorvane [--portal URL] [--forum URL] [--peers URL] [--vendor-apps LIST] [--home DIR]
//            [--device phone|pad] [--system-version TEXT] [--clock system|manual] [--script FILE|-]
//   quorvane --help
//
// With --script the commands come from the file (or standard input for "-"); without it they
// are typed at a prompt when standard input is a terminal and read from it otherwise. The
// exit status is 0 when every command succeeded, 1 when one failed or the output could not be
// written, 2 for a bad command line (a script it cannot read, a home it cannot write in or that
// another quorvane uses included); --help prints the usage and exits 0. SIGINT, SIGTERM and
// SIGHUP end the run as quit does, and then the process by that signal (a shell's status 128 and
// its number); SIGQUIT, and the other signals whose default is to end a program, end it at once.
// A closed output is a write that failed, which ends the run, not a SIGPIPE.

#include "app/Simulator.h"
#include "app/StandardInput.h"
#include "app/StandardOutput.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/TerminationSignal.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <stdlib.h>
#include <unistd.h>

namespace {

// A standard descriptor the process started without would be the number the next file opened
// gets: the home's lock, the database or the settings would then receive the screens (or the
// messages, or be read as the script). It gets /dev/null, read-only, in its place, so that
// writes fail as they would on the closed descriptor (EBADF) and reads find nothing.
void holdClosedStandardDescriptors()
{
    for (int descriptor : { STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO }) {
        if (::fcntl(descriptor, F_GETFD) != -1 || errno != EBADF)
            continue;
        int placeholder = ::open("/dev/null", O_RDONLY);
        if (placeholder >= 0 && placeholder != descriptor) {
            ::dup2(placeholder, descriptor);
            ::close(placeholder);
        }
    }
}

// The last of the exit's steps: registered before anything else, this runs after the platform's
// threads have ended their work and the statics made since have gone. The temporary home is held
// by a static made before `main`, whose end would come after this, so it is let go here; then what
// the C library still buffers goes out, and last comes the look for a signal, which ends the
// process by one that came at any moment of the run, its clean-up included.
void endTheProcess(int, void*)
{
    pf::Sandbox::setCurrent(nullptr);
    std::fflush(nullptr);
    pf::TerminationSignal::endByTheSignal();
}

int run(int argc, char** argv, std::ostream& output)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto options = SimulatorOptions::parse(args, &error);
    if (!options) {
        std::fprintf(stderr, "quorvane: %s\n%s", error.c_str(), SimulatorOptions::usage().c_str());
        return 2;
    }
    if (options->help) {
        output << SimulatorOptions::usage();
        return 0;
    }

    std::ifstream file;
    if (options->script && *options->script != "-") {
        errno = 0;
        file.open(*options->script);
        // A folder opens as a file does and fails only at its first read, which would end the
        // script as if it were empty: a character is asked for before anything starts. The
        // stream keeps no reason; the system call under the failed open or read leaves it in
        // errno, and the reason tells a missing file from a folder or a locked one.
        if (!file || (file.peek(), file.bad())) {
            int why = errno;
            std::fprintf(stderr, "quorvane: cannot read %s: %s\n", options->script->c_str(),
                why ? std::strerror(why) : "unreadable");
            return 2;
        }
    }

    Simulator simulator(*options);
    simulator.stopOnSignals();
    if (!simulator.start(&error)) {
        std::fprintf(stderr, "quorvane: %s\n", error.c_str());
        return 2;
    }
    if (file.is_open())
        return simulator.run(file, output, false);
    if (!options->script && isatty(STDIN_FILENO))
        return simulator.runInteractive(output);
    // Waiting for the next line, a signal's end must not wait for it too.
    StandardInput standardInput(STDIN_FILENO, pf::TerminationSignal::descriptor());
    std::istream input(&standardInput);
    return simulator.run(input, output, false);
}

}

int main(int argc, char** argv)
{
    ::on_exit(endTheProcess, nullptr);
    holdClosedStandardDescriptors();
    // An output whose reader has gone (`| head -1`) fails its writes with EPIPE, as a full disk
    // fails them with ENOSPC: the run then ends as it does for any output it cannot write,
    // its home removed, rather than die at the write.
    std::signal(SIGPIPE, SIG_IGN);
    StandardOutput written(stdout);
    std::ostream output(&written);
    // Errors go through the same kind of buffer, which gives way at a signal where standard error
    // is a pipe that takes nothing more (`2>&1 | less`); what failed there cannot be told anyway.
    StandardOutput errors(stderr);
    std::streambuf* const plainErrors = std::cerr.rdbuf(&errors);
    int status = run(argc, argv, output);
    // What is left removes and writes out what the run made, and gives way at a signal: a second
    // signal now lets it finish (the temporary home holds the sign-in token).
    pf::TerminationSignal::beginCleanUp();
    errors.finish();
    std::cerr.rdbuf(plainErrors);
    // Here rather than in a handler at exit: the platform's end of the process may leave through
    // _exit with the status given to exit, and lost output must not end as a success.
    if (int failure = written.finish()) {
        const std::string said = std::string("quorvane: cannot write the output: ") + std::strerror(failure) + "\n";
        pf::TerminationSignal::writeAll(STDERR_FILENO, said.data(), said.size());
        status = 1;
    }
    // Ended by a signal, the run says so as a program the signal ended would: 128 and its number,
    // where the end by the signal itself is cut short (work still running when the platform's
    // end gives up waiting for it).
    if (int signal = pf::TerminationSignal::received())
        status = 128 + signal;
    return status;
}
