#pragma once

#include "app/ScriptCommand.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One form of a simulator command: the words that name it ("tap", "tag"), how many arguments
// follow them, and how those arguments become a ScriptCommand.
struct CommandForm {
    using Reader = bool (*)(const std::vector<std::string>& arguments, ScriptCommand& command);

    std::vector<std::string> words;
    std::string arguments;  // as help shows them: "\"FIELD\" \"TEXT\""
    size_t argumentCount { 0 };
    std::string summary;
    ScriptCommand::Kind kind { ScriptCommand::Kind::None };
    Reader read { nullptr }; // none: the command takes its arguments as they are
    std::string usage {};    // the refusal of arguments that do not fit, when not "usage: FORM"

    // "tap tag N"
    std::string form() const;
};

// The simulator's commands, one row per form: the parser, `help` and completion all read this
// one table, so what is listed is what is understood.
//
// Rules:
// - A line is the form whose words it starts with and whose argument count it has. A form's
//   words after the name match only words out of quotes, and the form with the most of them
//   matched decides: `tap tag 3` is a tag, `tap "tag"` the text "tag", and `tap tag` fits no
//   form.
// - A known command whose arguments fit no form is refused with its usage (every form's when
//   they differ).
class CommandTable {
public:
    static const std::vector<CommandForm>& forms();
    // The command names, each once, in table order.
    static std::vector<std::string> names();

    // The command of a line already split into words (not empty, not a comment); `quoted` says
    // which words were in quotes.
    static std::optional<ScriptCommand> parse(const std::vector<std::string>& words, const std::vector<bool>& quoted,
        std::string* error);

    // Every form, one line each: the form, then what it does.
    static std::string help();
    // The forms of one command; none when there is no such command.
    static std::optional<std::string> help(const std::string& name);

    // The known name nearest to a mistyped one (a letter added, dropped, changed or two
    // swapped, twice at most); empty when none is that near.
    static std::string nearest(const std::string& name);

    struct Completion {
        size_t start { 0 };                 // where the word being completed starts
        std::vector<std::string> candidates; // whole words to put from `start`
    };
    // What may complete the text before the cursor: a command name, a command's next keyword,
    // or for `tap` a quoted text from `screenTexts`.
    static Completion complete(std::string_view beforeCursor, const std::vector<std::string>& screenTexts);
};
