#pragma once

#include "app/SimulatorOptions.h"

#include <iosfwd>
#include <memory>
#include <string>

class CommandInterpreter;

namespace pf {
class Sandbox;
class Window;
}

// The app on a simulated device that a person or a script drives with commands (see
// ScriptCommand): it makes the process the device (sandbox, clock, device facts, portal
// addresses), shows the first screen in the key window and feeds commands to a
// CommandInterpreter.
//
// Rules:
// - The run's exit status is 0 when every command succeeded, 1 when any failed.
// - Typed commands are read while the loop keeps running, so replies arrive between them.
class Simulator {
public:
    explicit Simulator(SimulatorOptions options);
    ~Simulator();

    // Prepares the device and shows the first screen; false with a reason in `error`.
    bool start(std::string* error);

    // The first screen: the root side-menu container around a navigation controller holding the
    // gift category screen, root of a new key window of the screen's size. Its view loads at
    // once, so the automatic login and the silent version check start here.
    static std::shared_ptr<pf::Window> showFirstScreen();

    // Runs commands from `in` until "quit" or its end, printing to `out`; with `interactive` a
    // prompt comes before each command. Returns the exit status.
    int run(std::istream& in, std::ostream& out, bool interactive);
    // Runs typed commands from standard input (a terminal) with a prompt.
    int runInteractive(std::ostream& out);

    const SimulatorOptions& options() const { return m_options; }
    std::shared_ptr<pf::Window> window() const { return m_window; }

private:
    SimulatorOptions m_options;
    std::shared_ptr<pf::Sandbox> m_sandbox;
    std::shared_ptr<pf::Window> m_window;
};
