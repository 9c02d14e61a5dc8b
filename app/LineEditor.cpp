#include "app/LineEditor.h"

#include "platform/foundation/StoppedProcessWatch.h"
#include "platform/foundation/TerminationSignal.h"

#include <histedit.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <langinfo.h>
#include <poll.h>
#include <sstream>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kPollMilliseconds = 20;

bool utf8Locale()
{
    const char* codeset = nl_langinfo(CODESET);
    return codeset && std::strcmp(codeset, "UTF-8") == 0;
}

// What the handler saw, for the read to answer between keys, where it may touch the terminal.
std::atomic<bool> g_stopAsked { false };
std::atomic<bool> g_continued { false };
std::atomic<bool> g_resized { false };
static_assert(std::atomic<bool>::is_always_lock_free);

void noteSignal(int signal)
{
    if (signal == SIGTSTP)
        g_stopAsked = true;
    else if (signal == SIGCONT)
        g_continued = true;
    else
        g_resized = true;
}

constexpr int kAnswered[] = { SIGTSTP, SIGCONT, SIGWINCH };

// What /proc tells of a process: its parent, group and session, and whether it has ended (a
// zombie, which counts for nothing).
struct ProcessFacts {
    pid_t parent { 0 };
    pid_t group { 0 };
    pid_t session { 0 };
    bool ended { false };
};

std::optional<ProcessFacts> factsOf(const std::string& pid)
{
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string text;
    std::getline(stat, text);
    // "PID (NAME) STATE PARENT GROUP SESSION ...": the name may hold blanks and brackets.
    const size_t nameEnd = text.rfind(')');
    if (nameEnd == std::string::npos)
        return std::nullopt;
    std::istringstream fields(text.substr(nameEnd + 1));
    char state = 0;
    ProcessFacts facts;
    if (!(fields >> state >> facts.parent >> facts.group >> facts.session))
        return std::nullopt;
    facts.ended = state == 'Z';
    return facts;
}

// Whether this program's process group is orphaned: no member has its parent in another group of
// the same session, so no shell could continue it, and the kernel discards a stop by SIGTSTP
// (where no shell does job control, as for `sh -c quorvane` as a terminal's first program, or
// once the shell that started it has gone). Where /proc cannot be read, a shell is taken to be
// there.
bool groupIsOrphaned()
{
    const pid_t group = ::getpgrp();
    const pid_t session = ::getsid(0);
    std::error_code error;
    std::filesystem::directory_iterator process("/proc", error);
    for (; !error && process != std::filesystem::directory_iterator(); process.increment(error)) {
        const std::string pid = process->path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        auto member = factsOf(pid);
        if (!member || member->group != group || member->ended)
            continue;
        auto parent = factsOf(std::to_string(member->parent));
        if (parent && parent->group != group && parent->session == session)
            return false;
    }
    return !error;
}

// While a line is read, the signals the editor answers itself are noted; those ignored stay so.
class NotedSignals {
public:
    NotedSignals()
    {
        struct sigaction noting {};
        noting.sa_handler = noteSignal;
        sigfillset(&noting.sa_mask);
        noting.sa_flags = SA_RESTART;
        for (size_t i = 0; i < std::size(kAnswered); ++i) {
            m_kept[i] = ::sigaction(kAnswered[i], nullptr, &m_before[i]) == 0 && m_before[i].sa_handler != SIG_IGN;
            if (m_kept[i])
                ::sigaction(kAnswered[i], &noting, nullptr);
        }
    }
    ~NotedSignals()
    {
        for (size_t i = 0; i < std::size(kAnswered); ++i) {
            if (m_kept[i])
                ::sigaction(kAnswered[i], &m_before[i], nullptr);
        }
    }
    NotedSignals(const NotedSignals&) = delete;
    NotedSignals& operator=(const NotedSignals&) = delete;

private:
    struct sigaction m_before[std::size(kAnswered)] {};
    bool m_kept[std::size(kAnswered)] {};
};

}

LineEditor::LineEditor(const char* program, FILE* in, FILE* out, std::function<void()> whileWaiting)
    : m_in(in)
    , m_out(out)
    , m_whileWaiting(std::move(whileWaiting))
{
    // The screen's texts are Chinese: typing, showing and completing them needs UTF-8.
    if (!std::setlocale(LC_CTYPE, "") || !utf8Locale())
        std::setlocale(LC_CTYPE, "C.UTF-8");

    // A signal that ends the program at once, the editor's modes in place, gives the terminal back.
    if (::isatty(fileno(in)))
        pf::TerminationSignal::keepTerminalModes(fileno(in));
    m_editLine = el_init(program, in, out, stderr);
    el_set(m_editLine, EL_CLIENTDATA, this);
    el_set(m_editLine, EL_EDITOR, "emacs");
    // No handlers of the library's: they would catch the signals that end a program (over an
    // ignored one too) and send each on to the whole process group, the shell script running
    // this program included. The editor answers Ctrl-Z, the return from it and a resized window
    // itself (`answerSignals`); the others do what they do outside a read.
    el_set(m_editLine, EL_SIGNAL, 0);
    el_set(m_editLine, EL_PROMPT, &LineEditor::prompt);
    el_set(m_editLine, EL_GETCFN, &LineEditor::readCharacter);
    // The wide form keeps the given names; the narrow one copies them and never frees the copies.
    el_wset(m_editLine, EL_ADDFN, L"complete-command", L"complete a command or a text on the screen", &LineEditor::complete);
    el_set(m_editLine, EL_BIND, "^I", "complete-command", nullptr);

    m_history = history_init();
    HistEvent event;
    history(m_history, &event, H_SETSIZE, 500);
    el_set(m_editLine, EL_HIST, history, m_history);
    // The person's own key bindings (~/.editrc), as other line-editing programs honour them.
    el_source(m_editLine, nullptr);
}

LineEditor::~LineEditor()
{
    // The editing library gives the terminal the modes it found as it ends; in the background (a
    // stopped program ended by `kill %1`) the modes are the shell's, and setting them would stop
    // this program again until it is brought back.
    if (!ownsTheTerminal())
        el_set(m_editLine, EL_EDITMODE, 0);
    el_end(m_editLine);
    history_end(m_history);
}

LineEditor& LineEditor::of(EditLine* editLine)
{
    void* self = nullptr;
    el_get(editLine, EL_CLIENTDATA, &self);
    return *static_cast<LineEditor*>(self);
}

char* LineEditor::prompt(EditLine* editLine)
{
    return of(editLine).m_prompt.data();
}

void LineEditor::answerSignals()
{
    // Where nothing can stop the program, nothing changes: the keys that follow are the line's.
    if (g_stopAsked.exchange(false) && !groupIsOrphaned())
        stop();
    // Continued only to end (a stopped program sent SIGTERM and SIGCONT): the terminal is left as
    // it is, and the read ends at the wake-up.
    if (g_continued.exchange(false) && !pf::TerminationSignal::received() && !readsKeyByKey()) {
        // Continued after a stop the editor did not make itself (SIGSTOP), with a shell's modes
        // put back meanwhile: the editor's again, and the prompt and the line redrawn below what
        // the shell wrote. (After the editor's own stop its modes are in place already.)
        el_set(m_editLine, EL_PREP_TERM, 0);
        el_set(m_editLine, EL_PREP_TERM, 1);
        el_set(m_editLine, EL_REFRESH);
    }
    if (g_resized.exchange(false))
        el_resize(m_editLine);
}

void LineEditor::stop()
{
    // Stopped as a program without a handler is, with the terminal as the editor found it.
    el_set(m_editLine, EL_PREP_TERM, 0);
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    struct sigaction noting {};
    ::sigaction(SIGTSTP, &byDefault, &noting);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, SIGTSTP);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    {
        // A signal to end sent while stopped continues the program, whichever the shell sends.
        pf::StoppedProcessWatch watch;
        ::raise(SIGTSTP); // returns once continued
    }
    ::sigaction(SIGTSTP, &noting, nullptr);
    // Continued to end (`kill %1`, a closed terminal's shell): what was sent meanwhile has been
    // taken on this thread before the raise returns. The terminal is left as it is: in the
    // background setting the editor's modes would stop the program again, and the read ends at
    // the wake-up without a line to draw.
    if (pf::TerminationSignal::received())
        return;
    // The shell may have set the terminal's modes while this program was stopped: the editor's
    // again (continued in the background, that stops it until it is brought back), and the prompt
    // and the line drawn once below what the shell wrote. The SIGCONT that continued it, told a
    // moment later on another thread perhaps, then finds the editor's modes in place.
    el_set(m_editLine, EL_PREP_TERM, 1);
    el_set(m_editLine, EL_REFRESH);
}

bool LineEditor::ownsTheTerminal() const
{
    return ::tcgetpgrp(fileno(m_in)) == ::getpgrp();
}

bool LineEditor::readsKeyByKey() const
{
    termios modes {};
    return ::tcgetattr(fileno(m_in), &modes) != 0 || !(modes.c_lflag & ICANON);
}

int LineEditor::readCharacter(EditLine* editLine, wchar_t* character)
{
    LineEditor& self = of(editLine);
    int fd = fileno(self.m_in);
    for (;;) {
        self.answerSignals();
        pollfd ready[2] = { { fd, POLLIN, 0 }, { self.m_wakeUp, POLLIN, 0 } };
        int polled = ::poll(ready, 2, kPollMilliseconds);
        if (polled < 0 && errno != EINTR)
            return -1;
        if (polled > 0 && ready[1].revents) {
            self.m_woken = true;
            return 0;
        }
        if (polled <= 0) {
            if (self.m_whileWaiting)
                self.m_whileWaiting();
            continue;
        }
        char byte;
        ssize_t n = ::read(fd, &byte, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return 0;
        size_t used = std::mbrtowc(character, &byte, 1, &self.m_decoding);
        if (used == static_cast<size_t>(-2))
            continue; // more bytes of the same character to come
        if (used == static_cast<size_t>(-1)) {
            // Not UTF-8: drop the byte rather than put a wrong character in the line.
            self.m_decoding = {};
            continue;
        }
        if (used == 0)
            *character = L'\0';
        return 1;
    }
}

unsigned char LineEditor::complete(EditLine* editLine, int)
{
    LineEditor& self = of(editLine);
    if (!self.m_completer)
        return CC_ERROR;
    const LineInfo* line = el_line(editLine);
    std::string before(line->buffer, static_cast<size_t>(line->cursor - line->buffer));
    Completion completion = self.m_completer(before);
    if (completion.candidates.empty() || completion.start > before.size())
        return CC_ERROR;
    const std::string typed = before.substr(completion.start);
    const auto& candidates = completion.candidates;

    // What every candidate shares, cut back to a whole character.
    size_t shared = candidates[0].size();
    for (const auto& c : candidates) {
        size_t i = 0;
        while (i < shared && i < c.size() && c[i] == candidates[0][i])
            ++i;
        shared = i;
    }
    while (shared > typed.size() && shared < candidates[0].size() && (static_cast<unsigned char>(candidates[0][shared]) & 0xC0) == 0x80)
        --shared;

    if (candidates.size() == 1) {
        std::string rest = candidates[0].substr(std::min(typed.size(), candidates[0].size())) + " ";
        el_insertstr(editLine, rest.c_str());
        return CC_REFRESH;
    }
    if (shared > typed.size()) {
        el_insertstr(editLine, candidates[0].substr(typed.size(), shared - typed.size()).c_str());
        return CC_REFRESH;
    }
    std::fputs("\n", self.m_out);
    for (const auto& c : candidates)
        std::fprintf(self.m_out, "%s  ", c.c_str());
    std::fputs("\n", self.m_out);
    return CC_REDISPLAY;
}

std::optional<std::string> LineEditor::readLine()
{
    int count = 0;
    const char* text = nullptr;
    {
        NotedSignals noted;
        text = el_gets(m_editLine, &count);
    }
    if (m_woken || !text || count <= 0)
        return std::nullopt;
    std::string line(text, static_cast<size_t>(count));
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    // A line run again from the history is not kept twice in a row. (The history's own
    // "unique" switch is not used: it leaks the entry it drops.)
    HistEvent event;
    bool repeated = history(m_history, &event, H_FIRST) == 0 && event.str && line == event.str;
    if (!repeated && line.find_first_not_of(" \t") != std::string::npos)
        history(m_history, &event, H_ENTER, line.c_str());
    return line;
}
