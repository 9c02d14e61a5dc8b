#include "app/CommandTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

using Kind = ScriptCommand::Kind;
using Words = std::vector<std::string>;

bool parseInt(const std::string& word, int& out)
{
    if (word.empty())
        return false;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), out);
    return ec == std::errc() && end == word.data() + word.size();
}

bool readText(const Words& a, ScriptCommand& c)
{
    c.text = a[0];
    return true;
}

bool readTag(const Words& a, ScriptCommand& c)
{
    return parseInt(a[0], c.tag);
}

bool readRow(const Words& a, ScriptCommand& c)
{
    const std::string& text = a[0];
    size_t colon = text.find(':');
    bool ok = colon == std::string::npos ? parseInt(text, c.row)
                                         : parseInt(text.substr(0, colon), c.section) && parseInt(text.substr(colon + 1), c.row);
    return ok && c.row >= 0 && c.section >= 0;
}

bool readImage(const Words& a, ScriptCommand& c)
{
    c.text = a[0];
    return !c.text.empty();
}

// Typing nothing changes nothing: `clear` is how a field is emptied, and the refusal says so.
bool readType(const Words& a, ScriptCommand& c)
{
    c.text = a[0];
    c.input = a[1];
    return !c.input.empty();
}

const std::string kTypeUsage = "usage: type \"FIELD\" \"TEXT\" (TEXT not empty; clear \"FIELD\" empties a field)";

bool readSeconds(const Words& a, ScriptCommand& c)
{
    const std::string& word = a[0];
    if (word.empty())
        return false;
    char* end = nullptr;
    c.seconds = std::strtod(word.c_str(), &end);
    return end == word.c_str() + word.size() && std::isfinite(c.seconds) && c.seconds >= 0
        && c.seconds <= ScriptCommand::kMaxWaitSeconds;
}

// "X" or "X fling": the distance in points, either way across the screen at most.
bool readDrag(const Words& a, ScriptCommand& c)
{
    c.fling = a.size() == 2;
    return parseInt(a[0], c.distance) && std::abs(c.distance) <= ScriptCommand::kMaxDragDistance && (!c.fling || a[1] == "fling");
}

const std::string kDragUsage = "usage: drag X [fling] (X from -" + std::to_string(ScriptCommand::kMaxDragDistance) + " to "
    + std::to_string(ScriptCommand::kMaxDragDistance) + ")";

const std::string kWaitUsage = "usage: wait SECONDS (0 to " + std::to_string(static_cast<int>(ScriptCommand::kMaxWaitSeconds)) + ")";

// Letters to add, drop, change or swap (two neighbours) to turn one word into the other.
size_t editDistance(const std::string& a, const std::string& b)
{
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({ d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost });
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

std::string quote(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string helpLines(const std::vector<const CommandForm*>& forms)
{
    size_t width = 0;
    for (auto* f : forms)
        width = std::max(width, f->form().size());
    std::string out;
    for (auto* f : forms) {
        std::string form = f->form();
        out += "  " + form + std::string(width - form.size() + 3, ' ') + f->summary + "\n";
    }
    return out;
}

}

std::string CommandForm::form() const
{
    std::string out;
    for (auto& w : words)
        out += (out.empty() ? "" : " ") + w;
    if (!arguments.empty())
        out += " " + arguments;
    return out;
}

const std::vector<CommandForm>& CommandTable::forms()
{
    static const std::vector<CommandForm> table {
        { { "help" }, "", 0, "list the commands", Kind::Help },
        { { "help" }, "COMMAND", 1, "the forms of one command", Kind::Help, readText },
        { { "dump" }, "", 0, "print the visible screen", Kind::Dump },
        { { "tap" }, "\"TEXT\"", 1, "tap the view that shows TEXT (or a web page's button or link)", Kind::TapText, readText },
        { { "tap", "tag" }, "N", 1, "tap the view tagged N", Kind::TapTag, readTag },
        { { "tap", "row" }, "[S:]N", 1, "tap row N (of section S) of the topmost visible table", Kind::TapRow, readRow,
            "usage: tap row N or tap row S:N" },
        { { "tap", "image" }, "\"NAME\"", 1, "tap the picture-only control showing the image NAME (\"back.png\")", Kind::TapImage,
            readImage },
        { { "type" }, "\"FIELD\" \"TEXT\"", 2,
            "add TEXT, key by key, to the end of the field with that placeholder or outlet name (a web page's field with that name, id or placeholder is set to TEXT)",
            Kind::Type, readType, kTypeUsage },
        { { "clear" }, "\"FIELD\"", 1, "empty that field as the delete key held down would (or a web page's field)", Kind::Clear,
            readText },
        { { "scroll", "bottom" }, "", 0, "flick the topmost table to its bottom", Kind::ScrollBottom },
        { { "pull" }, "", 0, "pull the topmost table down to refresh and let go", Kind::Pull },
        { { "back" }, "", 0, "the back button of the navigation bar", Kind::Back },
        { { "menu" }, "", 0, "the menu button of the first screen (opens or closes the menu)", Kind::Menu },
        { { "drag" }, "X", 1, "drag the centre of the screen sideways by X points and let go after holding still", Kind::Drag,
            readDrag, kDragUsage },
        { { "drag" }, "X fling", 2, "the same, letting go while moving", Kind::Drag, readDrag, kDragUsage },
        { { "wait" }, "SECONDS", 1, "move the clock on (an hour at most), delivering replies that arrive", Kind::Wait, readSeconds,
            kWaitUsage },
        { { "idle" }, "", 0, "run until no request is in flight and what the replies started has run (10 real seconds at most)", Kind::Idle },
        { { "pasteboard" }, "", 0, "print the general pasteboard's text", Kind::Pasteboard },
        { { "received" }, "", 0, "print what the stand-in messaging apps (Parley, Blip, LM, LZone) received", Kind::Received },
        { { "open", "mygifts" }, "", 0, "push the my-gifts screen on the shown navigation controller", Kind::OpenMyGifts },
        { { "quit" }, "", 0, "stop reading commands", Kind::Quit },
    };
    return table;
}

std::vector<std::string> CommandTable::names()
{
    std::vector<std::string> out;
    for (auto& f : forms()) {
        if (std::find(out.begin(), out.end(), f.words[0]) == out.end())
            out.push_back(f.words[0]);
    }
    return out;
}

std::optional<ScriptCommand> CommandTable::parse(const std::vector<std::string>& w, const std::vector<bool>& quoted,
    std::string* error)
{
    auto refuse = [&](std::string reason) -> std::optional<ScriptCommand> {
        if (error)
            *error = std::move(reason);
        return std::nullopt;
    };
    std::vector<const CommandForm*> named;
    for (auto& f : forms()) {
        if (f.words[0] == w[0])
            named.push_back(&f);
    }
    if (named.empty())
        return refuse("unknown command: " + w[0]);

    // The keywords the line spells out decide the form, so a keyword whose argument is missing
    // is not taken for the argument of a shorter form (`tap tag` is no tap of the text "tag").
    auto keywordsMatch = [&](const CommandForm& f) {
        if (w.size() < f.words.size())
            return false;
        for (size_t i = 1; i < f.words.size(); ++i) {
            if (w[i] != f.words[i] || (i < quoted.size() && quoted[i]))
                return false;
        }
        return true;
    };
    size_t matched = 0;
    for (auto* f : named) {
        if (keywordsMatch(*f))
            matched = std::max(matched, f->words.size());
    }
    const CommandForm* best = nullptr;
    for (auto* f : named) {
        if (f->words.size() == matched && w.size() == matched + f->argumentCount && keywordsMatch(*f))
            best = f;
    }
    auto usageOf = [](const CommandForm& f) {
        if (!f.usage.empty())
            return f.usage;
        if (f.words.size() == 1 && f.argumentCount == 0)
            return f.words[0] + " takes no arguments";
        return "usage: " + f.form();
    };
    if (!best) {
        // One refusal for the whole command when its forms share one (or it has a single form).
        bool sharedUsage = std::all_of(named.begin(), named.end(), [&](auto* f) { return usageOf(*f) == usageOf(*named[0]); });
        if (sharedUsage)
            return refuse(usageOf(*named[0]));
        std::string all = "usage: ";
        for (size_t i = 0; i < named.size(); ++i)
            all += (i == 0 ? "" : i + 1 == named.size() ? " or " : ", ") + named[i]->form();
        return refuse(all);
    }
    ScriptCommand command;
    command.kind = best->kind;
    std::vector<std::string> arguments(w.begin() + static_cast<std::ptrdiff_t>(best->words.size()), w.end());
    if (best->read && !best->read(arguments, command))
        return refuse(usageOf(*best));
    return command;
}

std::string CommandTable::help()
{
    std::vector<const CommandForm*> all;
    for (auto& f : forms())
        all.push_back(&f);
    return helpLines(all);
}

std::optional<std::string> CommandTable::help(const std::string& name)
{
    std::vector<const CommandForm*> named;
    for (auto& f : forms()) {
        if (f.words[0] == name)
            named.push_back(&f);
    }
    if (named.empty())
        return std::nullopt;
    return helpLines(named);
}

std::string CommandTable::nearest(const std::string& name)
{
    std::string best;
    size_t bestDistance = 3;
    for (auto& known : names()) {
        size_t d = editDistance(name, known);
        // A change as large as the word itself is no misspelling of it.
        if (d < bestDistance && d < known.size() && d < name.size()) {
            best = known;
            bestDistance = d;
        }
    }
    return best;
}

CommandTable::Completion CommandTable::complete(std::string_view beforeCursor, const std::vector<std::string>& screenTexts)
{
    Completion result;
    size_t first = beforeCursor.find_first_not_of(' ');
    if (first == std::string_view::npos)
        first = beforeCursor.size();
    size_t nameEnd = beforeCursor.find(' ', first);
    auto offer = [&](const std::string& candidate, std::string_view partial) {
        if (candidate.starts_with(partial)
            && std::find(result.candidates.begin(), result.candidates.end(), candidate) == result.candidates.end())
            result.candidates.push_back(candidate);
    };
    if (nameEnd == std::string_view::npos) {
        result.start = first;
        for (auto& name : names())
            offer(name, beforeCursor.substr(first));
        return result;
    }
    std::string name(beforeCursor.substr(first, nameEnd - first));
    size_t wordStart = beforeCursor.find_first_not_of(' ', nameEnd);
    if (wordStart == std::string_view::npos)
        wordStart = beforeCursor.size();
    std::string_view partial = beforeCursor.substr(wordStart);
    // Only the word right after the name is completed: keywords and tapped texts live there.
    if (partial.find(' ') != std::string_view::npos && !partial.starts_with("\""))
        return result;
    result.start = wordStart;
    for (auto& f : forms()) {
        if (f.words[0] == name && f.words.size() > 1)
            offer(f.words[1], partial);
    }
    if (name == "tap") {
        for (auto& text : screenTexts) {
            if (!text.empty() && text.find('\n') == std::string::npos)
                offer(quote(text), partial);
        }
    }
    return result;
}
