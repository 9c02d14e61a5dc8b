#include "platform/web/ScriptText.h"

#include "platform/foundation/Json.h"

#include <cstdint>

namespace pf {

namespace {

    // Length of the valid UTF-8 sequence at `i`, or 0 when the bytes there are not one.
    size_t utf8Length(std::string_view s, size_t i)
    {
        auto b = [&](size_t k) { return static_cast<std::uint8_t>(s[k]); };
        std::uint8_t c = b(i);
        if (c < 0x80)
            return 1;
        size_t n = 0;
        std::uint32_t cp = 0;
        if ((c & 0xE0) == 0xC0) {
            n = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            n = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            n = 4;
            cp = c & 0x07;
        } else {
            return 0;
        }
        if (i + n > s.size())
            return 0;
        for (size_t k = 1; k < n; ++k) {
            if ((b(i + k) & 0xC0) != 0x80)
                return 0;
            cp = (cp << 6) | (b(i + k) & 0x3F);
        }
        // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
        if ((n == 2 && cp < 0x80) || (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF
            || (cp >= 0xD800 && cp <= 0xDFFF))
            return 0;
        return n;
    }

    const char* kReplacement = "\xEF\xBF\xBD";
    const std::string_view kLineSeparator = "\xE2\x80\xA8";
    const std::string_view kParagraphSeparator = "\xE2\x80\xA9";

}

std::string ScriptText::validUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    // Valid stretches are copied whole; a page is mostly ASCII.
    size_t start = 0;
    for (size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        size_t n = utf8Length(text, i);
        if (n == 0) {
            out.append(text.substr(start, i - start));
            out += kReplacement;
            start = ++i;
        } else {
            i += n;
        }
    }
    out.append(text.substr(start));
    return out;
}

std::string ScriptText::escapeLineSeparators(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        std::string_view rest = text.substr(i);
        if (rest.starts_with(kLineSeparator)) {
            out += "\\u2028";
            i += 2;
        } else if (rest.starts_with(kParagraphSeparator)) {
            out += "\\u2029";
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string ScriptText::stringLiteral(std::string_view text)
{
    std::string valid = validUtf8(text);
    std::string out = "'";
    out.reserve(valid.size() + 2);
    for (size_t i = 0; i < valid.size(); ++i) {
        char c = valid[i];
        std::string_view rest = std::string_view(valid).substr(i);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\'': out += "\\'"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '<':
            // "</script" inside an inline script would end the element.
            out += rest.starts_with("</") ? "\\x3C" : "<";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                static const char* hex = "0123456789ABCDEF";
                out += "\\x";
                out += hex[(c >> 4) & 0xF];
                out += hex[c & 0xF];
            } else if (rest.starts_with(kLineSeparator)) {
                out += "\\u2028";
                i += 2;
            } else if (rest.starts_with(kParagraphSeparator)) {
                out += "\\u2029";
                i += 2;
            } else {
                out += c;
            }
        }
    }
    out += "'";
    return out;
}

std::string ScriptText::json(const Value& value)
{
    return escapeLineSeparators(validUtf8(Json::write(value)));
}

}
