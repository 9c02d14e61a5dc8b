#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One line of a simulator script, parsed. Words are separated by blanks; a word in double
// quotes may hold blanks, and inside it \" and \\ stand for " and \. A word in quotes is never
// a command's keyword: `tap "tag"` taps the text "tag". Blank lines and lines starting with "#"
// are no command. The commands and their forms are CommandTable's rows
// (`help` lists them).
struct ScriptCommand {
    enum class Kind { None, Dump, TapText, TapTag, TapRow, Type, ScrollBottom, Pull, Back, Wait, Idle, Pasteboard, Quit, TapImage, OpenMyGifts, Menu, Drag, Help, Received, Clear };

    Kind kind { Kind::None };
    std::string text;   // tap "TEXT"; the field of type and clear; the image of tap image; the command of help
    std::string input;  // the text typed
    int tag { 0 };
    int section { 0 };
    int row { 0 };
    double seconds { 0 };
    int distance { 0 }; // drag
    bool fling { false };

    // Virtual time moves beat by beat through every running timer, so a wait is kept to an hour.
    static constexpr double kMaxWaitSeconds = 3600;
    static constexpr int kMaxDragDistance = 320;

    // The command of a line; none with a reason in `error` when the line is not one.
    static std::optional<ScriptCommand> parse(std::string_view line, std::string* error = nullptr);
    // Splits a line into words (quotes removed); none with a reason for an unclosed quote.
    // `quoted`, when given, is told which of the words were in quotes.
    static std::optional<std::vector<std::string>> words(std::string_view line, std::string* error = nullptr,
        std::vector<bool>* quoted = nullptr);
};
