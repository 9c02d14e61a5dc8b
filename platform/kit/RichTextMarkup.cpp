#include "platform/kit/RichTextMarkup.h"

#include "platform/foundation/AsciiText.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace pf {

namespace {

constexpr double kMinFontSize = 1;
constexpr double kMaxFontSize = 512;

enum class TagKind { Font, Bold };

struct OpenTag {
    TagKind kind;
    std::optional<double> size;
    std::optional<Color> color;
};

struct Tag {
    bool closing { false };
    TagKind kind { TagKind::Bold };
    std::optional<double> size;
    std::optional<Color> color;
    size_t end { 0 }; // index just past ">"
};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}


std::optional<double> parseSize(const std::string& value)
{
    if (value.empty())
        return std::nullopt;
    char* end = nullptr;
    double size = std::strtod(value.c_str(), &end);
    if (end == value.c_str() || !std::isfinite(size) || size <= 0)
        return std::nullopt;
    return std::clamp(size, kMinFontSize, kMaxFontSize);
}

std::optional<Color> parseColor(std::string value)
{
    if (!value.empty() && value[0] == '#')
        value.erase(0, 1);
    if (value.size() != 6 || !std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isxdigit(c); }))
        return std::nullopt;
    long rgb = std::strtol(value.c_str(), nullptr, 16);
    return Color::rgb(((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0);
}

// Reads a tag starting at markup[start] == '<'; nothing when it is not one of ours.
std::optional<Tag> readTag(std::string_view markup, size_t start)
{
    Tag tag;
    size_t i = start + 1, n = markup.size();
    if (i < n && markup[i] == '/')
        tag.closing = true, ++i;
    size_t nameStart = i;
    while (i < n && std::isalpha(static_cast<unsigned char>(markup[i])))
        ++i;
    std::string name = AsciiText::lowercased(markup.substr(nameStart, i - nameStart));
    if (name == "font")
        tag.kind = TagKind::Font;
    else if (name == "b")
        tag.kind = TagKind::Bold;
    else
        return std::nullopt;
    if (i >= n || !(markup[i] == '>' || isSpace(markup[i])))
        return std::nullopt;

    for (;;) {
        while (i < n && isSpace(markup[i]))
            ++i;
        if (i >= n)
            return std::nullopt;
        if (markup[i] == '>') {
            tag.end = i + 1;
            return tag;
        }
        size_t attrStart = i;
        while (i < n && !isSpace(markup[i]) && markup[i] != '=' && markup[i] != '>')
            ++i;
        std::string attribute = AsciiText::lowercased(markup.substr(attrStart, i - attrStart));
        while (i < n && isSpace(markup[i]))
            ++i;
        std::string value;
        if (i < n && markup[i] == '=') {
            ++i;
            while (i < n && isSpace(markup[i]))
                ++i;
            if (i < n && (markup[i] == '\'' || markup[i] == '"')) {
                char quote = markup[i++];
                size_t close = markup.find(quote, i);
                if (close == std::string_view::npos)
                    return std::nullopt;
                value = markup.substr(i, close - i);
                i = close + 1;
            } else {
                size_t valueStart = i;
                while (i < n && !isSpace(markup[i]) && markup[i] != '>')
                    ++i;
                value = markup.substr(valueStart, i - valueStart);
            }
        }
        if (attrStart == i) // a lone "=" or the like: skip it rather than loop
            ++i;
        if (tag.closing || tag.kind != TagKind::Font)
            continue;
        if (attribute == "size") {
            if (auto size = parseSize(value))
                tag.size = size;
        } else if (attribute == "color") {
            if (auto color = parseColor(value))
                tag.color = color;
        }
    }
}

void appendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Reads an entity starting at markup[start] == '&': its text and the index past ";".
std::optional<std::pair<std::string, size_t>> readEntity(std::string_view markup, size_t start)
{
    size_t semicolon = markup.find(';', start);
    if (semicolon == std::string_view::npos || semicolon - start > 10)
        return std::nullopt;
    std::string_view name = markup.substr(start + 1, semicolon - start - 1);
    size_t end = semicolon + 1;
    static const std::pair<std::string_view, std::string_view> named[] = {
        { "lt", "<" }, { "gt", ">" }, { "amp", "&" }, { "quot", "\"" }, { "apos", "'" }, { "nbsp", "\xC2\xA0" },
    };
    for (const auto& [entity, text] : named)
        if (name == entity)
            return std::make_pair(std::string(text), end);
    if (name.size() >= 2 && name[0] == '#') {
        bool hex = name[1] == 'x' || name[1] == 'X';
        std::string digits(name.substr(hex ? 2 : 1));
        if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [hex](unsigned char c) { return hex ? std::isxdigit(c) : std::isdigit(c); }))
            return std::nullopt;
        unsigned long cp = std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10);
        if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return std::nullopt;
        std::string text;
        appendUtf8(text, static_cast<std::uint32_t>(cp));
        return std::make_pair(text, end);
    }
    return std::nullopt;
}

}

std::vector<RichTextRun> RichTextMarkup::parse(std::string_view markup, const Font& baseFont, const Color& baseColor)
{
    std::vector<RichTextRun> runs;
    std::vector<OpenTag> open;
    RichTextRun current { {}, baseFont, baseColor };

    auto flush = [&] {
        if (current.text.empty())
            return;
        if (!runs.empty() && runs.back().font == current.font && runs.back().color == current.color)
            runs.back().text += current.text;
        else
            runs.push_back(current);
        current.text.clear();
    };
    auto restyle = [&] {
        current.font = baseFont;
        current.color = baseColor;
        for (const auto& tag : open) {
            if (tag.kind == TagKind::Bold)
                current.font.bold = true;
            if (tag.size)
                current.font.pointSize = *tag.size;
            if (tag.color)
                current.color = *tag.color;
        }
    };

    size_t i = 0;
    while (i < markup.size()) {
        char c = markup[i];
        if (c == '<') {
            if (auto tag = readTag(markup, i)) {
                flush();
                if (!tag->closing) {
                    open.push_back({ tag->kind, tag->size, tag->color });
                } else {
                    auto latest = std::find_if(open.rbegin(), open.rend(), [&](const OpenTag& t) { return t.kind == tag->kind; });
                    if (latest != open.rend())
                        open.erase(std::next(latest).base());
                }
                restyle();
                i = tag->end;
                continue;
            }
        } else if (c == '&') {
            if (auto entity = readEntity(markup, i)) {
                current.text += entity->first;
                i = entity->second;
                continue;
            }
        }
        current.text += c;
        ++i;
    }
    flush();
    return runs;
}

std::string RichTextMarkup::plainText(const std::vector<RichTextRun>& runs)
{
    std::string text;
    for (const auto& run : runs)
        text += run.text;
    return text;
}

std::string RichTextMarkup::escape(std::string_view text)
{
    return AsciiText::htmlEscaped(text);
}

}
