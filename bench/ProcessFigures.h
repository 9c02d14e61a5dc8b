#pragma once

#include "bench/RoundSamples.h"

#include <optional>
#include <string>
#include <vector>

// The figures measured on whole processes against the local portal, which this program serves
// on a thread of its own so that it can read what the app sent:
// - cold start: `quorvane` from launch until its first "idle" is done (the script is "idle",
//   "quit"), beside `quorvane-start-floor` sending the same requests the app sent;
// - the tour of scripts/run, read from that script.
// The cold starts run in rounds of passes that alternate between the app and the floor (see
// RoundSamples), so both see the same load on the machine.
class ProcessFigures {
public:
    struct Paths {
        std::string app;        // quorvane
        std::string startFloor; // quorvane-start-floor
        std::string meter;      // quorvane-bench-meter
        std::string runScript;  // scripts/run, whose tour is replayed
        std::string workFolder; // for the recorded requests and the runs' output
    };
    struct Samples {
        std::vector<double> wallSeconds;
        std::vector<double> cpuSeconds;
        std::vector<double> peakResidentMB;
        int failures { 0 };
        std::string lastFailure;
    };
    struct Results {
        Samples start;
        Samples startFloor;
        Samples tour;
        size_t startRequests { 0 };
        // The cold starts' wall times by round, as kStart and kStartFloor.
        RoundSamples rounds;
    };
    static constexpr const char* kStart = "start";
    static constexpr const char* kStartFloor = "start floor";
    // Launches of each program per round: a launch is short, so one round holds several.
    static constexpr int kPassesPerRound = 4;

    static Results measure(const Paths& paths, int rounds);

    // Launches of the app against the local portal (`--home HOME --script -`, its script "quit"),
    // each on a fresh home holding a copy of a booked store: `sound`, which the launch checks
    // and uses, or `damaged`, which it mends. `runs` of each, in turn; a launch on the damaged
    // store that mends nothing, or one on the sound store that mends it, is a failure.
    struct LaunchMemory {
        Samples clean;
        Samples mending;
    };
    static LaunchMemory measureLaunches(const Paths& paths, const std::string& sound, const std::string& damaged, int runs);

    // The lines between "<<'TOUR'" and "TOUR" in the script; empty when there are none.
    static std::string tourOf(const std::string& scriptText);
};
