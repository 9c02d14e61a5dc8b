#pragma once

#include "app/SimulatorOptions.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

class CommandInterpreter;
class VendorApps;

namespace pf {
class Sandbox;
class Window;
}

// The app on a simulated device that a person or a script drives with commands (see
// ScriptCommand): it makes the process the device (sandbox, clock, device facts, portal and
// vendor-services addresses, the stand-in messaging apps), launches the app through its
// application delegate and feeds commands to a CommandInterpreter.
//
// Rules:
// - The run's exit status is 0 when every command succeeded, 1 when any failed.
// - A home given (`--home`) belongs to this process from the start on (HomeLock): one that
//   another simulator holds is refused before anything in it is read or written.
// - A command's output is flushed when it ends, so a reader of the output sees each command's
//   answer as it comes, and a write that fails is found then. The first write that fails ends
//   the run as at `quit`: a wait under way ends and no command runs after it.
// - Typed commands are read while the loop keeps running, so replies arrive between them.
// - The first portal request of the run that gets no answer, or an HTTP status other than 2xx,
//   is told on standard error in one line with the address asked and what came back (a reply
//   refused for its size is told as such); the app itself only shows its spinners, which leaves
//   a wrong `--portal` unexplained. The line reminds that `--portal` takes the API address,
//   ending in "api/", only when the address given does not.
// - Once the process is asked to end (`stopOnSignals`), the run ends as at `quit`, on the main
//   loop: a command's wait ends at once, no command runs after it, and a read of the next
//   command ends (a terminal's settings put back); an output that takes nothing more gives way
//   (StandardOutput). The process then ends by the signal (see main).
class Simulator {
public:
    // The tablet's screen, in points.
    static constexpr double kPadWidth = 768;
    static constexpr double kPadHeight = 1024;

    explicit Simulator(SimulatorOptions options);
    ~Simulator();

    // From now on a signal that asks the program to end (SIGINT, SIGTERM, SIGHUP; one ignored
    // now stays ignored) ends the run as `quit` does (see pf::TerminationSignal). Once per
    // process, before `start`, so a temporary home made there is always removed.
    void stopOnSignals();
    // Prepares the device and launches the app; false with a reason in `error`.
    bool start(std::string* error);

    // Launches the app as the system does: a new application delegate, then the end of the
    // launch, which runs the whole start-up. Returns the app's window.
    static std::shared_ptr<pf::Window> launch();
    // Only the first screen, for tests of the screens: the root the start-up builds, root of a
    // new key window of the screen's size, without the rest of the start-up. Its view loads at
    // once, so the automatic login and the silent version check start here.
    static std::shared_ptr<pf::Window> showFirstScreen();

    // Runs commands from `in` until "quit" or its end, printing to `out`; with `interactive` a
    // prompt comes before each command. Returns the exit status.
    int run(std::istream& in, std::ostream& out, bool interactive);
    // Runs typed commands from standard input (a terminal) with a prompt, line editing and
    // history: a greeting and the first screen once its lists have arrived, then after each
    // command that changed the screen the screen again.
    int runInteractive(std::ostream& out);

    const SimulatorOptions& options() const { return m_options; }
    std::shared_ptr<pf::Window> window() const { return m_window; }
    std::shared_ptr<VendorApps> vendorApps() const { return m_vendorApps; }

private:
    void watchPortalFailures();
    // When the commands' run ends as at `quit`: the process was asked to end, or `out` failed.
    std::function<bool()> endingWhen(const std::ostream& out) const;

    SimulatorOptions m_options;
    std::shared_ptr<bool> m_stopped { std::make_shared<bool>(false) };
    std::shared_ptr<bool> m_portalFailureTold;
    std::shared_ptr<pf::Sandbox> m_sandbox;
    std::shared_ptr<pf::Window> m_window;
    std::shared_ptr<VendorApps> m_vendorApps;
};
