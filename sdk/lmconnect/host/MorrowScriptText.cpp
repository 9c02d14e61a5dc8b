#include "sdk/lmconnect/host/MorrowScriptText.h"

#include <cmath>
#include <cstdio>

std::string MorrowScriptText::literal(std::string_view text)
{
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            } else if (c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80
                && (static_cast<unsigned char>(text[i + 2]) == 0xA8 || static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
                // U+2028 and U+2029 end a line inside a literal for the engine.
                out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
                i += 2;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
    return out;
}

std::string MorrowScriptText::number(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "Infinity" : "-Infinity";
    char text[400]; // the longest finite double ("-" and 309 digits) with its six decimals
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

std::string MorrowScriptText::call(std::string_view function, std::initializer_list<std::string_view> arguments)
{
    std::string out(function);
    out += '(';
    bool first = true;
    for (auto argument : arguments) {
        if (!first)
            out += ',';
        first = false;
        out += literal(argument);
    }
    out += ')';
    return out;
}
