#include "platform/web/ScriptText.h"

#include "platform/foundation/Json.h"
#include "platform/foundation/TextEncoding.h"

#include <cstdint>

namespace pf {

namespace {

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
        size_t n = TextEncoding::utf8CharacterLength(text, i);
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
