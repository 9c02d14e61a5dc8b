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

#include <cstdio>
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
        file.open(*options->script);
        // A folder opens as a file does and fails only at its first read, which would end the
        // script as if it were empty: a character is asked for before anything starts.
        if (!file || (file.peek(), file.bad())) {
            std::fprintf(stderr, "quorvane: cannot read %s\n", options->script->c_str());
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
