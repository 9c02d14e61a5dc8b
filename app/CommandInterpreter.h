#pragma once

#include "app/ScriptCommand.h"
#include "platform/ui/Driver.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <string_view>

class VendorApps;

namespace pf {
class TableView;
}

// Runs simulator commands against whatever the key window shows, the way a person would:
// through the screen driver's taps, typing, flicks and pulls, and its dump.
//
// Rules:
// - Every command ends with the screen settled (posted work run, layout done); no time passes
//   except in `wait`, `scroll bottom`, `pull`, `back`, `menu`, `drag` (the time the gesture or
//   the transition takes) and `idle` (real time, for replies to arrive).
// - `wait N` shows what a person waiting N seconds would see. On the manual clock the replies
//   on their way are let in before each timer due within it fires and before it ends, waiting on
//   real time for them at most N seconds in all (`kIdleTimeout` at most); a reply still out then
//   comes later, as it would to the person.
// - A command that fails prints one line "error: ..." and counts as a failure; the next one
//   runs all the same.
// - When several views match a tap, the frontmost one a finger can reach is tapped; by text, an
//   enabled control comes before a label that reads the same, by tag a view that takes the
//   touch itself before one the finger passes through; a line "note: tapped ..." says which
//   view it was.
// - "The topmost table" is the frontmost visible table that a finger reaches at its middle.
// - When explaining (a person at a terminal), an unknown command names the nearest known one
//   and a tap on a text that nothing visible shows says why the view showing it cannot be
//   reached; scripts get the shorter messages, which they have always had.
// - `idle` waits for every reply and for what the replies put off; a screen whose work keeps
//   itself ready for ever (a page that never rests) is left running a second after the last
//   reply, and one line on the notes stream says so. That is no failure.
// - A run that is ending (`setStopWhen`: the process was asked to end) waits for nothing more:
//   a `wait`, an `idle` or a gesture's time under way ends at once, without a failure, and
//   `quitRequested` holds as after `quit`.
class CommandInterpreter {
public:
    static constexpr double kIdleTimeout = 10;
    static constexpr int kMaxFlicks = 50;

    // What the commands print goes to `out`; a note that is no failure (idle leaving a busy
    // page running) goes to `notes`, standard error unless given.
    explicit CommandInterpreter(std::ostream& out);
    CommandInterpreter(std::ostream& out, std::ostream& notes);

    // Parses and runs one line; false when it failed.
    bool execute(std::string_view line);
    bool execute(const ScriptCommand& command);

    void setExplaining(bool explaining) { m_explaining = explaining; }
    // The stand-in messaging apps whose receipts `received` prints (none: it says so).
    void setVendorApps(std::shared_ptr<VendorApps> apps) { m_vendorApps = std::move(apps); }

    // Asked while a command waits; once it holds, the run ends as at `quit`.
    void setStopWhen(std::function<bool()> stopWhen) { m_stopWhen = std::move(stopWhen); }

    bool quitRequested() const { return m_quit || stopping(); }
    int failures() const { return m_failures; }
    pf::Driver& driver() { return m_driver; }

    // Lets `seconds` pass: on a manual clock at once, else in real time with the loop running.
    void passTime(double seconds);
    // The frontmost visible table a finger reaches at its middle; when there is none, `whyNone`
    // says why: no table is shown, or what keeps a finger from the frontmost one.
    std::shared_ptr<pf::TableView> topmostTable(std::string* whyNone = nullptr) const;

private:
    bool fail(const std::string& message);
    bool stopping() const { return m_stopWhen && m_stopWhen(); }

    bool dump();
    bool tapText(const std::string& text);
    bool tapTag(int tag);
    // Reports a tap of `what`: its failure, or which of several matching views ("showing it",
    // "tagged N") was pressed.
    bool tapped(const pf::TouchResult& result, const std::string& what, const std::string& among);
    bool tapRow(int section, int row);
    // Types `text` into the field with that placeholder or outlet name (a web page's field with
    // that name, id or placeholder is set to it); an empty text empties the field (`clear`).
    bool editField(const std::string& field, const std::string& text);
    bool scrollBottom();
    bool pull();
    bool back();
    bool wait(double seconds);
    bool idle();
    bool pasteboard();
    bool received();
    bool menu();
    bool drag(int distance, bool fling);
    bool tapImage(const std::string& name);
    bool openMyGifts();
    bool help(const std::string& name);

    std::ostream& m_out;
    std::ostream& m_notes;
    pf::Driver m_driver;
    std::shared_ptr<VendorApps> m_vendorApps;
    std::function<bool()> m_stopWhen;
    bool m_quit { false };
    bool m_explaining { false };
    int m_failures { 0 };
};
