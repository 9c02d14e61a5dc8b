#include "app/ScriptCommand.h"

#include "app/CommandTable.h"

#include <cctype>

std::optional<std::vector<std::string>> ScriptCommand::words(std::string_view line, std::string* error, std::vector<bool>* quoted)
{
    std::vector<std::string> result;
    if (quoted)
        quoted->clear();
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
        if (quoted)
            quoted->push_back(c == '"');
    }
    return result;
}

std::optional<ScriptCommand> ScriptCommand::parse(std::string_view line, std::string* error)
{
    std::vector<bool> quoted;
    auto list = words(line, error, &quoted);
    if (!list)
        return std::nullopt;
    ScriptCommand command;
    if (list->empty() || (*list)[0].starts_with("#"))
        return command;

    return CommandTable::parse(*list, quoted, error);
}
