#include "app/LineEditor.h"

#include "platform/foundation/TerminationSignal.h"

#include <histedit.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <langinfo.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int kPollMilliseconds = 20;

bool utf8Locale()
{
    const char* codeset = nl_langinfo(CODESET);
    return codeset && std::strcmp(codeset, "UTF-8") == 0;
}

}

LineEditor::LineEditor(const char* program, FILE* in, FILE* out, std::function<void()> whileWaiting)
    : m_in(in)
    , m_out(out)
    , m_whileWaiting(std::move(whileWaiting))
{
    // The screen's texts are Chinese: typing, showing and completing them needs UTF-8.
    if (!std::setlocale(LC_CTYPE, "") || !utf8Locale())
        std::setlocale(LC_CTYPE, "C.UTF-8");

    m_editLine = el_init(program, in, out, stderr);
    el_set(m_editLine, EL_CLIENTDATA, this);
    el_set(m_editLine, EL_EDITOR, "emacs");
    el_set(m_editLine, EL_SIGNAL, 1);
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
    LineEditor& self = of(editLine);
    // The editing library takes the signals that end a program as it starts reading a line, and
    // its handler sends them on to the whole process group (the shell script running this
    // program included). Those the wake-up stands for go back to their watch, which ends the
    // read through the wake-up; the library keeps Ctrl-Z, the return from it and a resized
    // window. Here, before the prompt shows, so that no one can have seen the prompt and sent a
    // signal while the library still holds it.
    if (self.m_wakeUp >= 0)
        pf::TerminationSignal::reclaim();
    return self.m_prompt.data();
}

int LineEditor::readCharacter(EditLine* editLine, wchar_t* character)
{
    LineEditor& self = of(editLine);
    int fd = fileno(self.m_in);
    for (;;) {
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
    const char* text = el_gets(m_editLine, &count);
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
