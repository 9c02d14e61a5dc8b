#include "sdk/libBlipSDK/BlipText.h"

#include "platform/foundation/Url.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace blip {

namespace {

// Code points the C library's wide-character table counts as blank (space separators and tab,
// without the no-break spaces).
bool isBlank(char32_t c)
{
    return c == U' ' || c == U'\t' || c == 0x1680 || (c >= 0x2000 && c <= 0x2006) || (c >= 0x2008 && c <= 0x200A)
        || c == 0x205F || c == 0x3000;
}

// Calls `unit` with each code point, the number of UTF-16 units it takes, and where its bytes
// begin and how many there are.
template <typename F>
void eachCodePointAt(std::string_view text, F unit)
{
    size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        char32_t cp;
        size_t len;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c >> 5) == 6) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c >> 4) == 14) {
            cp = c & 0x0F;
            len = 3;
        } else if ((c >> 3) == 30) {
            cp = c & 0x07;
            len = 4;
        } else {
            unit(0xFFFD, 1, i, 1); // a stray byte stands for one replacement character
            ++i;
            continue;
        }
        if (i + len > text.size()) {
            unit(0xFFFD, 1, i, text.size() - i);
            break;
        }
        for (size_t k = 1; k < len; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        unit(cp, cp >= 0x10000 ? 2 : 1, i, len);
        i += len;
    }
}

// Calls `unit` with each code point and the number of UTF-16 units it takes.
template <typename F>
void eachCodePoint(std::string_view text, F unit)
{
    eachCodePointAt(text, [&](char32_t cp, size_t units, size_t, size_t) { unit(cp, units); });
}

// White space and line ends of every script.
bool isWhitespaceOrNewline(char32_t c)
{
    return (c >= 0x09 && c <= 0x0D) || c == U' ' || c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A)
        || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

}

size_t BlipText::utf16Length(std::string_view text)
{
    size_t units = 0;
    eachCodePoint(text, [&](char32_t, size_t n) { units += n; });
    return units;
}

size_t BlipText::wordCount(std::string_view text)
{
    size_t blanks = 0, ascii = 0, wide = 0;
    eachCodePoint(text, [&](char32_t cp, size_t n) {
        if (isBlank(cp))
            blanks += n;
        else if (cp < 128)
            ascii += n;
        else
            wide += n;
    });
    if (ascii + wide == 0)
        return 0;
    return static_cast<size_t>(std::ceil(static_cast<float>(blanks + ascii) / 2.0f)) + wide;
}

std::string BlipText::escapeQueryValue(std::string_view text)
{
    return pf::Url::escape(text, "!*'();:@&=+$,/?%#[]");
}

std::optional<std::string> BlipText::urlEncodedStringWithCFStringEncoding(std::string_view text,
    pf::TextEncoding::Charset encoding)
{
    // Line ends, tabs, spaces, quotes, "<>" and "%" are escaped anyway, as no URL may hold them.
    return pf::Url::escapeInCharset(text, encoding, "=,!$&'()*+;@?#:/");
}

std::optional<std::string> BlipText::urlEncodedString(std::string_view text)
{
    return urlEncodedStringWithCFStringEncoding(text, pf::TextEncoding::Charset::Utf8);
}

bool BlipText::isUtf8(std::string_view bytes)
{
    size_t i = 0;
    while (i < bytes.size()) {
        auto c = static_cast<unsigned char>(bytes[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > bytes.size() || (len == 2 && c < 0xC2))
            return false;
        char32_t cp = len == 1 ? c : c & (0x7F >> len);
        for (size_t k = 1; k < len; ++k) {
            auto d = static_cast<unsigned char>(bytes[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += len;
    }
    return true;
}

std::optional<std::string> BlipText::unescape(std::string_view text)
{
    return pf::Url::unescape(text);
}

std::optional<std::string> BlipText::stringByReplacingRangeWith(std::string_view text, size_t location, size_t length,
    std::string_view replacement)
{
    // Byte positions of the range's two ends; a bound inside a surrogate pair or past the end
    // is no range of this text.
    std::optional<size_t> begin, end;
    size_t units = 0;
    auto mark = [&](size_t at) {
        if (units == location)
            begin = at;
        if (units == location + length)
            end = at;
    };
    if (length > SIZE_MAX - location)
        return std::nullopt;
    eachCodePointAt(text, [&](char32_t, size_t width, size_t at, size_t) {
        mark(at);
        units += width;
    });
    mark(text.size());
    if (!begin || !end)
        return std::nullopt;
    return std::string(text.substr(0, *begin)) + std::string(replacement) + std::string(text.substr(*end));
}

std::string BlipText::trimmedString(std::string_view text)
{
    size_t first = text.size(), last = 0;
    eachCodePointAt(text, [&](char32_t cp, size_t, size_t at, size_t bytes) {
        if (isWhitespaceOrNewline(cp))
            return;
        first = std::min(first, at);
        last = at + bytes;
    });
    return first >= last ? std::string() : std::string(text.substr(first, last - first));
}

}
