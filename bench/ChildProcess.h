#pragma once

#include <optional>
#include <string>
#include <vector>

// One run of another program, measured from launch to exit: wall time, the CPU time it used
// (user and system) and its peak resident memory, as the kernel counts them for the child.
class ChildProcess {
public:
    struct Outcome {
        int exitStatus { -1 }; // -1 when it did not exit normally
        double wallSeconds { 0 };
        double cpuSeconds { 0 };
        double peakResidentMB { 0 };
    };

    // Runs `argv` with `input` on its standard input and its standard output and error sent to
    // `outputPath` (discarded when empty). None when it could not be started.
    static std::optional<Outcome> run(const std::vector<std::string>& argv, const std::string& input,
        const std::string& outputPath = {});
    // The same through `meter` (quorvane-bench-meter), which starts the program from a small
    // process: the kernel counts the memory of the starting process into the child's peak, so
    // a large caller would otherwise inflate it.
    static std::optional<Outcome> runMetered(const std::string& meter, const std::vector<std::string>& argv,
        const std::string& input, const std::string& outputPath = {});
};
