#include "app/ScriptCommand.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

bool fail(std::string* error, std::string reason)
{
    if (error)
        *error = std::move(reason);
    return false;
}

bool parseInt(const std::string& word, int& out)
{
    if (word.empty())
        return false;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), out);
    return ec == std::errc() && end == word.data() + word.size();
}

bool parseSeconds(const std::string& word, double& out)
{
    if (word.empty())
        return false;
    char* end = nullptr;
    out = std::strtod(word.c_str(), &end);
    return end == word.c_str() + word.size() && std::isfinite(out) && out >= 0 && out <= ScriptCommand::kMaxWaitSeconds;
}

}

std::optional<std::vector<std::string>> ScriptCommand::words(std::string_view line, std::string* error)
{
    std::vector<std::string> result;
    size_t i = 0;
    while (i < line.size()) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (std::isspace(c)) {
            ++i;
            continue;
        }
        std::string word;
        if (c == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char ch = line[i++];
                if (ch == '"') {
                    closed = true;
                    break;
                }
                if (ch == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\'))
                    ch = line[i++];
                word += ch;
            }
            if (!closed) {
                if (error)
                    *error = "unclosed quote";
                return std::nullopt;
            }
        } else {
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
                word += line[i++];
        }
        result.push_back(std::move(word));
    }
    return result;
}

std::optional<ScriptCommand> ScriptCommand::parse(std::string_view line, std::string* error)
{
    auto list = words(line, error);
    if (!list)
        return std::nullopt;
    ScriptCommand command;
    if (list->empty() || (*list)[0].starts_with("#"))
        return command;

    const std::vector<std::string>& w = *list;
    const std::string& name = w[0];
    size_t n = w.size();
    auto bad = [&](const std::string& reason) -> std::optional<ScriptCommand> {
        fail(error, reason);
        return std::nullopt;
    };
    auto simple = [&](Kind kind) -> std::optional<ScriptCommand> {
        if (n != 1)
            return bad(name + " takes no arguments");
        command.kind = kind;
        return command;
    };

    if (name == "dump")
        return simple(Kind::Dump);
    if (name == "pull")
        return simple(Kind::Pull);
    if (name == "back")
        return simple(Kind::Back);
    if (name == "idle")
        return simple(Kind::Idle);
    if (name == "pasteboard")
        return simple(Kind::Pasteboard);
    if (name == "quit")
        return simple(Kind::Quit);
    if (name == "menu")
        return simple(Kind::Menu);
    if (name == "drag") {
        if (n < 2 || n > 3 || !parseInt(w[1], command.distance) || std::abs(command.distance) > kMaxDragDistance
            || (n == 3 && w[2] != "fling"))
            return bad("usage: drag X [fling] (X from -" + std::to_string(kMaxDragDistance) + " to " + std::to_string(kMaxDragDistance) + ")");
        command.kind = Kind::Drag;
        command.fling = n == 3;
        return command;
    }
    if (name == "open") {
        if (n != 2 || w[1] != "mygifts")
            return bad("usage: open mygifts");
        command.kind = Kind::OpenMyGifts;
        return command;
    }
    if (name == "scroll") {
        if (n != 2 || w[1] != "bottom")
            return bad("usage: scroll bottom");
        command.kind = Kind::ScrollBottom;
        return command;
    }
    if (name == "wait") {
        if (n != 2 || !parseSeconds(w[1], command.seconds))
            return bad("usage: wait SECONDS (0 to " + std::to_string(static_cast<int>(kMaxWaitSeconds)) + ")");
        command.kind = Kind::Wait;
        return command;
    }
    if (name == "type") {
        if (n != 3)
            return bad("usage: type \"FIELD\" \"TEXT\"");
        command.kind = Kind::Type;
        command.text = w[1];
        command.input = w[2];
        return command;
    }
    if (name == "tap") {
        if (n == 2) {
            command.kind = Kind::TapText;
            command.text = w[1];
            return command;
        }
        if (n == 3 && w[1] == "tag") {
            if (!parseInt(w[2], command.tag))
                return bad("usage: tap tag N");
            command.kind = Kind::TapTag;
            return command;
        }
        if (n == 3 && w[1] == "image") {
            if (w[2].empty())
                return bad("usage: tap image \"NAME\"");
            command.kind = Kind::TapImage;
            command.text = w[2];
            return command;
        }
        if (n == 3 && w[1] == "row") {
            const std::string& rowText = w[2];
            size_t colon = rowText.find(':');
            bool ok = colon == std::string::npos
                ? parseInt(rowText, command.row)
                : parseInt(rowText.substr(0, colon), command.section) && parseInt(rowText.substr(colon + 1), command.row);
            if (!ok || command.row < 0 || command.section < 0)
                return bad("usage: tap row N or tap row S:N");
            command.kind = Kind::TapRow;
            return command;
        }
        return bad("usage: tap \"TEXT\", tap tag N, tap row [S:]N or tap image \"NAME\"");
    }
    return bad("unknown command: " + name);
}
