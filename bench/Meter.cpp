// quorvane-bench-meter: runs one program and writes what it cost to a file, as
// "<exit status> <wall seconds> <CPU seconds> <peak resident MB>".
//
//   quorvane-bench-meter RESULT OUTPUT PROGRAM [ARGS...]
//
// The benchmark runner measures whole programs through this small process rather than
// starting them itself: the kernel counts the memory of the process a child was started from
// into the child's peak, and the runner is large by the time it measures.

#include "bench/ChildProcess.h"

#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s RESULT OUTPUT PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    std::string input(std::istreambuf_iterator<char>(std::cin), {});
    auto outcome = ChildProcess::run(std::vector<std::string>(argv + 3, argv + argc), input, argv[2]);
    FILE* result = std::fopen(argv[1], "w");
    if (!result)
        return 2;
    if (outcome)
        std::fprintf(result, "%d %.6f %.6f %.3f\n", outcome->exitStatus, outcome->wallSeconds, outcome->cpuSeconds, outcome->peakResidentMB);
    std::fclose(result);
    return outcome ? 0 : 1;
}
