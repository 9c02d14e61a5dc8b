#pragma once

#include <string>
#include <string_view>

namespace pf {

// Small text helpers for protocol and markup words (header values, cookie attributes, tag
// names, escapes): only ASCII letters change case and only ASCII white space is trimmed; other bytes,
// UTF-8 included, are kept as they are.
class AsciiText {
public:
    // The text without white space at either end; a view into `text`.
    static std::string_view trimmed(std::string_view text);
    static std::string lowercased(std::string_view text);
    // 0-15 for a hexadecimal digit of either case, -1 for any other character.
    static int hexDigitValue(char c);
    // Two hexadecimal digits for a byte (lower-case unless asked otherwise).
    static void appendHex(std::string& out, unsigned char byte, bool upperCase = false);
    // "%" and two upper-case hexadecimal digits, as URLs and form bodies escape a byte.
    static void appendPercentEscaped(std::string& out, unsigned char byte);
    // `&`, `<`, `>` and `"` as character references, for HTML and markup text.
    static std::string htmlEscaped(std::string_view text);
};

}
