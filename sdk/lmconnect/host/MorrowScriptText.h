#pragma once

#include <string>
#include <string_view>

// Values written into script text. Every value goes in as a JSON string literal, so quotes,
// backslashes, line ends and the two separators the script engine refuses inside literals
// (U+2028, U+2029) arrive as the same text and can never end the literal early.
class MorrowScriptText {
public:
    // "\"...\"" with ", \, control characters, U+2028 and U+2029 escaped.
    static std::string literal(std::string_view text);
    // A number as "%f" writes it ("1700000000000.000000"); one that is no finite number as the
    // script's own NaN, Infinity or -Infinity, never as a name the page could define.
    static std::string number(double value);
    // "name(arg1,arg2,...)" with each argument a literal.
    static std::string call(std::string_view function, std::initializer_list<std::string_view> arguments);
};
