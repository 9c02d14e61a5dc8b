#pragma once

#include "tests/support/ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace testsupport {

// A child program killed at one step of its writing, as a phone ends an app or a power cut a
// device: the library KillAtStep.cpp, preloaded into the child, counts the renames, links,
// removals, creations, writes and flushes of files under one folder and sends the child SIGKILL
// before (or after) the step asked for. Run without a step, it only writes the steps down, so
// a test first lists a run's steps and then kills a run at each one that matters.
struct KillPlan {
    std::string under;  // the folder whose files count
    std::string kinds;  // "rename,link,unlink,create,write,flush" or a part of it; empty: all
    std::string name;   // only steps one of whose paths holds this text; empty: every step
    long at = 0;        // the step (from 1) to kill at; 0: only count
    bool after = false; // kill once the step is made, rather than before it
    std::string log {}; // a file every counted step is written to; empty: none
    // Rather than kill the child, the thread making the step calls the child's own
    // `extern "C" void quorvane_kill_at_step_hold()` (exported: ENABLE_EXPORTS) and goes on
    // when it returns, so that the child's other threads act while that write stands there.
    bool hold = false;
    // Or, for any program: the thread making the step waits at this FIFO (see `reachHeldStep`).
    std::string waitAt {};
};

// One step a run made, as the log gives it.
struct KilledStep {
    long number = 0;
    std::string kind;
    std::string path;
    std::string second; // where a rename or a link leads
};

// The environment that preloads the library with `plan`, for `runChildProcess`.
inline std::vector<std::string> killAtStepEnvironment(const KillPlan& plan)
{
    std::vector<std::string> environment {
        std::string("LD_PRELOAD=") + KILL_AT_STEP_LIBRARY,
        "QUORVANE_KILL_UNDER=" + plan.under,
        "QUORVANE_KILL_KINDS=" + plan.kinds,
        "QUORVANE_KILL_NAME=" + plan.name,
        "QUORVANE_KILL_AT=" + std::to_string(plan.at),
        std::string("QUORVANE_KILL_WHEN=") + (plan.after ? "after" : "before"),
        "QUORVANE_KILL_LOG=" + plan.log,
        std::string("QUORVANE_KILL_HOLD=") + (plan.hold ? "1" : ""),
        "QUORVANE_KILL_WAIT_AT=" + plan.waitAt,
    };
    // The library is not built with the sanitizer, and comes before its runtime in the list of
    // loaded libraries, which the runtime would otherwise refuse.
    const char* asan = std::getenv("ASAN_OPTIONS");
    environment.push_back(std::string("ASAN_OPTIONS=") + (asan && *asan ? std::string(asan) + ":" : "")
        + "verify_asan_link_order=0");
    return environment;
}

inline std::vector<KilledStep> readKilledSteps(const std::string& log)
{
    std::vector<KilledStep> steps;
    std::ifstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        KilledStep step;
        fields >> step.number >> step.kind;
        std::string rest;
        std::getline(fields, rest);
        if (!rest.empty() && rest[0] == ' ')
            rest.erase(0, 1);
        if (size_t arrow = rest.find(" -> "); arrow != std::string::npos) {
            step.second = rest.substr(arrow + 4);
            rest.resize(arrow);
        }
        step.path = rest;
        steps.push_back(step);
    }
    return steps;
}

// Waits, a minute at most, until the child's thread stands at the step held at `fifo` (made with
// mkfifo, the plan's `waitAt`), and gives the FIFO's writing end: the thread goes on once it is
// closed. -1 when the child ended first, or the minute passed.
inline int reachHeldStep(const std::string& fifo, pid_t child)
{
    const auto began = std::chrono::steady_clock::now();
    for (;;) {
        int held = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        siginfo_t ended {};
        if (held >= 0 || errno != ENXIO || ::waitid(P_PID, static_cast<id_t>(child), &ended, WEXITED | WNOHANG | WNOWAIT) != 0
            || ended.si_pid != 0 || std::chrono::steady_clock::now() - began > std::chrono::minutes(1))
            return held;
        pollfd never { -1, 0, 0 };
        ::poll(&never, 1, 10); // a pause between looks; the look decides
    }
}

inline bool wasKilled(const ChildResult& result)
{
    return WIFSIGNALED(result.status) && WTERMSIG(result.status) == SIGKILL;
}

}
