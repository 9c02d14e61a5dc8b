// quorvane: the app on a simulated device, driven by commands.
//
//   quorvane [--portal URL] [--forum URL] [--peers URL] [--vendor-apps LIST] [--home DIR]
//            [--device phone|pad] [--system-version TEXT] [--clock system|manual] [--script FILE|-]
//   quorvane --help
//
// With --script the commands come from the file (or standard input for "-"); without it they
// are typed at a prompt when standard input is a terminal and read from it otherwise. The
// exit status is 0 when every command succeeded, 1 when one failed, 2 for a bad command line
// (a script it cannot read, a home it cannot write in included); --help prints the usage and
// exits 0.

#include "app/Simulator.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto options = SimulatorOptions::parse(args, &error);
    if (!options) {
        std::fprintf(stderr, "quorvane: %s\n%s", error.c_str(), SimulatorOptions::usage().c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(SimulatorOptions::usage().c_str(), stdout);
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
    if (!simulator.start(&error)) {
        std::fprintf(stderr, "quorvane: %s\n", error.c_str());
        return 2;
    }
    if (file.is_open())
        return simulator.run(file, std::cout, false);
    if (!options->script && isatty(STDIN_FILENO))
        return simulator.runInteractive(std::cout);
    return simulator.run(std::cin, std::cout, false);
}
