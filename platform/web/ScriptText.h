#pragma once

#include "platform/foundation/Value.h"

#include <string>
#include <string_view>

namespace pf {

// Text that native code places into script source. Everything that goes into a script as a
// string literal or as JSON passes through here, so that no page-supplied or stored text can
// end the literal early or break the script.
//
// Rules:
// - A string literal is single-quoted; backslash, both quotes, line breaks, NUL and other
//   control characters, U+2028 and U+2029 (which end a line inside a literal for the engine)
//   and "</" are escaped. Bytes that are not UTF-8 become U+FFFD.
// - JSON is written by the platform's writer and then has U+2028 and U+2029 escaped, so the
//   text is both valid JSON and a valid script expression.
class ScriptText {
public:
    static std::string stringLiteral(std::string_view text);
    static std::string json(const Value& value);
    // U+2028 and U+2029 written as \u2028 and \u2029; everything else kept.
    static std::string escapeLineSeparators(std::string_view text);
    // The text with every invalid UTF-8 sequence replaced by U+FFFD.
    static std::string validUtf8(std::string_view text);
};

}
