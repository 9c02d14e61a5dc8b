#pragma once

#include <cstdio>
#include <cwchar>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct editline;
struct history;

// Reads lines typed at a terminal with editing, history and Tab completion (libedit).
//
// Rules:
// - While no key has come, `whileWaiting` runs again and again (it should take about a 50th of
//   a second), so the caller's loop keeps turning between keystrokes.
// - Input is read as UTF-8 whatever the process locale was: the character type is switched to
//   a UTF-8 one when it is not.
// - Each non-blank line read joins the history (up and down arrows recall it).
// - Tab asks `completer` for the candidates of the word before the cursor: one is put in whole
//   (with a blank after it), several put in what they share or are listed below the line.
// - Once the wake-up descriptor (`setWakeUp`: the process being asked to end) is readable, the
//   read ends as at the end of input, the line typed so far dropped, and the terminal is left
//   as it was found.
// - No signal is passed on: the editing library installs no handlers, so a signal does at the
//   prompt what it does elsewhere (an ignored one stays ignored, SIGQUIT ends this program
//   alone). The terminal's modes as the editor found them are kept for a signal that ends the
//   process at once (pf::TerminationSignal::keepTerminalModes), which puts them back.
// - While a line is read the editor answers three signals itself, between keys: Ctrl-Z (SIGTSTP)
//   puts the terminal's modes back and stops the program by the signal's default action, and once
//   it is continued sets the editor's modes again and redraws the prompt and the line, once;
//   where nothing can stop the program (its process group is orphaned: no shell does job
//   control), Ctrl-Z changes nothing. A return from a stop the editor did not make (SIGCONT after
//   SIGSTOP) that finds a shell's modes in place sets the editor's again and redraws the line. A
//   resized window (SIGWINCH) is measured again. One of them ignored stays ignored.
// - Stopped by Ctrl-Z, the program is continued by a signal that asks it to end, whether or not
//   the shell sends SIGCONT after it (pf::StoppedProcessWatch). A program continued to end
//   (`kill %1`: SIGTERM, then SIGCONT) leaves the terminal's modes alone, in the background and
//   in the foreground: the read ends at the wake-up, the prompt not drawn again, and the editor's
//   end does not set the modes it found while the terminal is another group's (that would stop
//   the program again).
class LineEditor {
public:
    struct Completion {
        size_t start { 0 };
        std::vector<std::string> candidates;
    };
    using Completer = std::function<Completion(std::string_view beforeCursor)>;

    LineEditor(const char* program, FILE* in, FILE* out, std::function<void()> whileWaiting);
    ~LineEditor();
    LineEditor(const LineEditor&) = delete;
    LineEditor& operator=(const LineEditor&) = delete;

    void setPrompt(std::string prompt) { m_prompt = std::move(prompt); }
    void setCompleter(Completer completer) { m_completer = std::move(completer); }
    void setWakeUp(int descriptor) { m_wakeUp = descriptor; }

    // The next line without its newline; none at the end of input.
    std::optional<std::string> readLine();

private:
    static int readCharacter(editline* editLine, wchar_t* character);
    static char* prompt(editline* editLine);
    static unsigned char complete(editline* editLine, int key);
    static LineEditor& of(editline* editLine);
    void answerSignals();
    // Ctrl-Z: stops the program, and sets the editor's modes again once it is continued.
    void stop();
    // Whether the terminal is this program's: its process group is the terminal's foreground one.
    bool ownsTheTerminal() const;
    // Whether the terminal's modes are the editor's: keys come one by one, not in lines.
    bool readsKeyByKey() const;

    FILE* m_in;
    FILE* m_out;
    std::function<void()> m_whileWaiting;
    Completer m_completer;
    std::string m_prompt;
    int m_wakeUp { -1 };
    bool m_woken { false };
    std::mbstate_t m_decoding {};
    editline* m_editLine { nullptr };
    history* m_history { nullptr };
};
