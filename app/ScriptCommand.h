#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One line of a simulator script, parsed. Words are separated by blanks; a word in double
// quotes may hold blanks, and inside it \" and \\ stand for " and \. Blank lines and lines
// starting with "#" are no command.
//
//   dump                     print the visible screen
//   tap "TEXT"               tap the view that shows TEXT (or a web page's button or link)
//   tap tag N                tap the view tagged N
//   tap row N | tap row S:N  tap a row of the topmost visible table
//   tap image "NAME"         tap the picture-only control showing the image NAME ("back.png")
//   type "FIELD" "TEXT"      type into the field with that placeholder or outlet name (or a
//                            web page's field with that name, id or placeholder)
//   scroll bottom            flick the topmost table to its bottom
//   pull                     pull the topmost table down to refresh and let go
//   back                     the back button of the navigation bar
//   menu                     the menu button of the first screen (opens or closes the menu)
//   drag X [fling]           drag the centre of the screen sideways by X points (-320 to 320)
//                            and let go after holding still, or while moving with "fling"
//   wait SECONDS             move the clock on (an hour at most), delivering replies that arrive
//   idle                     run until no request is in flight (10 real seconds at most)
//   pasteboard               print the general pasteboard's text
//   open mygifts             push the my-gifts screen on the shown navigation controller
//   quit                     stop reading commands
struct ScriptCommand {
    enum class Kind { None, Dump, TapText, TapTag, TapRow, Type, ScrollBottom, Pull, Back, Wait, Idle, Pasteboard, Quit, TapImage, OpenMyGifts, Menu, Drag };

    Kind kind { Kind::None };
    std::string text;   // tap "TEXT"; the field of type; the image of tap image
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
    static std::optional<std::vector<std::string>> words(std::string_view line, std::string* error = nullptr);
};
