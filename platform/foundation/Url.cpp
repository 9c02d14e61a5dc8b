#include "platform/foundation/Url.h"

#include "platform/foundation/AsciiText.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace pf {

namespace {

bool isAlnum(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool isHex(char c)
{
    return AsciiText::hexDigitValue(c) >= 0;
}

bool contains(std::string_view set, char c)
{
    return set.find(c) != std::string_view::npos;
}

// The byte of the escape "%XX" at `at`; none when no well-formed escape starts there.
std::optional<unsigned char> escapedByte(std::string_view text, size_t at)
{
    if (at + 2 >= text.size() || text[at] != '%' || !isHex(text[at + 1]) || !isHex(text[at + 2]))
        return std::nullopt;
    return static_cast<unsigned char>(AsciiText::hexDigitValue(text[at + 1]) * 16 + AsciiText::hexDigitValue(text[at + 2]));
}

}

bool Url::isLegalCharacter(char c)
{
    return isAlnum(c) || contains("-_.!~*'();/?:@&=+$,#", c);
}

std::optional<Url> Url::fromString(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    size_t hashes = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            if (!isHex(text[i + 1]) || !isHex(text[i + 2]))
                return std::nullopt;
            continue;
        }
        if (c == '#' && ++hashes > 1)
            return std::nullopt;
        if (c == '[' || c == ']')
            continue; // IPv6 literals; checked below
        if (!isLegalCharacter(c))
            return std::nullopt;
    }

    Url url;
    url.m_text = std::string(text);
    std::string_view rest = text;

    // Scheme: a letter, then letters, digits, "+", "-", "." up to ":".
    size_t colon = rest.find(':');
    if (colon != std::string_view::npos && colon > 0 && std::isalpha(static_cast<unsigned char>(rest[0]))) {
        bool valid = std::all_of(rest.begin(), rest.begin() + colon, [](char c) { return isAlnum(c) || c == '+' || c == '-' || c == '.'; });
        size_t firstDelimiter = rest.find_first_of("/?#");
        if (valid && (firstDelimiter == std::string_view::npos || colon < firstDelimiter)) {
            url.m_scheme = std::string(rest.substr(0, colon));
            rest.remove_prefix(colon + 1);
        }
    }

    if (size_t hash = rest.find('#'); hash != std::string_view::npos) {
        url.m_fragment = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    if (size_t question = rest.find('?'); question != std::string_view::npos) {
        url.m_query = std::string(rest.substr(question + 1));
        rest = rest.substr(0, question);
    }

    if (rest.substr(0, 2) == "//") {
        url.m_hasAuthority = true;
        rest.remove_prefix(2);
        size_t slash = rest.find('/');
        std::string_view authority = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
        if (size_t at = authority.rfind('@'); at != std::string_view::npos) {
            url.m_user = std::string(authority.substr(0, at));
            authority.remove_prefix(at + 1);
        }
        std::string_view hostPart = authority;
        std::string_view portPart;
        bool hasPort = false;
        if (!authority.empty() && authority.front() == '[') {
            size_t close = authority.find(']');
            if (close == std::string_view::npos)
                return std::nullopt;
            hostPart = authority.substr(0, close + 1);
            std::string_view after = authority.substr(close + 1);
            if (!after.empty()) {
                if (after.front() != ':')
                    return std::nullopt;
                hasPort = true;
                portPart = after.substr(1);
            }
        } else {
            if (authority.find_first_of("[]") != std::string_view::npos)
                return std::nullopt;
            if (size_t c = authority.rfind(':'); c != std::string_view::npos) {
                hostPart = authority.substr(0, c);
                portPart = authority.substr(c + 1);
                hasPort = true;
            }
        }
        if (hasPort && !portPart.empty()) {
            if (portPart.size() > 5 || !std::all_of(portPart.begin(), portPart.end(), [](char c) { return c >= '0' && c <= '9'; }))
                return std::nullopt;
            int port = std::stoi(std::string(portPart));
            if (port > 65535)
                return std::nullopt;
            url.m_port = port;
        }
        url.m_host = std::string(hostPart);
    } else if (rest.find_first_of("[]") != std::string_view::npos) {
        return std::nullopt;
    }
    if (rest.find_first_of("[]") != std::string_view::npos)
        return std::nullopt;
    url.m_path = std::string(rest);
    return url;
}

Url Url::fileUrl(std::string_view path)
{
    std::string escaped = escape(path, "?#;");
    if (escaped.empty() || escaped.front() != '/')
        escaped.insert(escaped.begin(), '/');
    return *fromString("file://" + escaped);
}

bool Url::hasScheme(std::string_view scheme) const
{
    return m_scheme.size() == scheme.size()
        && std::equal(m_scheme.begin(), m_scheme.end(), scheme.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

std::string Url::path() const
{
    auto decoded = unescape(m_path);
    return decoded ? *decoded : m_path;
}

std::vector<std::string> Url::pathComponents() const
{
    std::vector<std::string> out;
    std::string_view p = m_path;
    if (!p.empty() && p.front() == '/')
        out.emplace_back("/");
    size_t start = 0;
    while (start < p.size()) {
        size_t end = p.find('/', start);
        if (end == std::string_view::npos)
            end = p.size();
        if (end > start) {
            std::string_view segment = p.substr(start, end - start);
            auto decoded = unescape(segment);
            out.push_back(decoded ? *decoded : std::string(segment));
        }
        start = end + 1;
    }
    return out;
}

std::string Url::lastPathComponent() const
{
    auto components = pathComponents();
    return components.empty() ? std::string() : components.back();
}

std::vector<Url::QueryItem> Url::queryItems() const
{
    if (!m_query)
        return {};
    return QueryString::parse(*m_query, {});
}

Url Url::appendingPathComponent(std::string_view component) const
{
    std::string text;
    if (!m_scheme.empty())
        text += m_scheme + ":";
    if (m_hasAuthority) {
        text += "//";
        if (m_user)
            text += *m_user + "@";
        text += m_host;
        if (m_port)
            text += ":" + std::to_string(*m_port);
    }
    std::string path = m_path;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += escape(component, "?#;/");
    text += path;
    if (m_query)
        text += "?" + *m_query;
    if (m_fragment)
        text += "#" + *m_fragment;
    auto url = fromString(text);
    return url ? *url : *this;
}

std::string Url::escape(std::string_view text, std::string_view alsoEscape, std::string_view leaveUnescaped)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        bool escapeIt;
        if (u >= 0x80)
            escapeIt = true;
        else if (isLegalCharacter(c))
            escapeIt = contains(alsoEscape, c);
        else
            escapeIt = !contains(leaveUnescaped, c);
        if (escapeIt) {
            AsciiText::appendPercentEscaped(out, u);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::optional<std::string> Url::escapeInCharset(std::string_view text, TextEncoding::Charset charset, std::string_view alsoEscape)
{
    // Runs of ASCII are escaped as `escape` does; runs of other characters are encoded whole and
    // every byte of theirs is escaped, including bytes of a multi-byte character that fall in the
    // ASCII range.
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        bool ascii = static_cast<unsigned char>(text[i]) < 0x80;
        size_t end = i;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) < 0x80) == ascii)
            ++end;
        std::string_view run = text.substr(i, end - i);
        i = end;
        if (ascii) {
            out += escape(run, alsoEscape);
            continue;
        }
        auto bytes = TextEncoding::encode(run, charset);
        if (!bytes)
            return std::nullopt;
        for (char byte : *bytes)
            AsciiText::appendPercentEscaped(out, static_cast<unsigned char>(byte));
    }
    return out;
}

std::string Url::escapeComponent(std::string_view text)
{
    return escape(text, "!*'();:@&=+$,/?#");
}

std::optional<std::string> Url::unescape(std::string_view text, std::string_view leaveEscaped)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '%') {
            out.push_back(c);
            continue;
        }
        auto byte = escapedByte(text, i);
        if (!byte)
            return std::nullopt;
        char decoded = static_cast<char>(*byte);
        if (contains(leaveEscaped, decoded) && *byte < 0x80)
            out.append(text.substr(i, 3));
        else
            out.push_back(decoded);
        i += 2;
    }
    if (!AsciiText::isValidUtf8(out))
        return std::nullopt;
    return out;
}

std::optional<std::string> Url::unescapeInCharset(std::string_view text, TextEncoding::Charset charset)
{
    if (charset == TextEncoding::Charset::Utf8)
        return unescape(text);
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '%') {
            out.push_back(text[i++]);
            continue;
        }
        // A character of a multi-byte charset is a run of escapes; so is a sequence of them.
        std::string bytes;
        for (; i < text.size() && text[i] == '%'; i += 3) {
            auto byte = escapedByte(text, i);
            if (!byte)
                return std::nullopt;
            bytes.push_back(static_cast<char>(*byte));
        }
        auto decoded = TextEncoding::decode(bytes, charset);
        if (!decoded)
            return std::nullopt;
        out += *decoded;
    }
    if (!AsciiText::isValidUtf8(out))
        return std::nullopt;
    return out;
}

std::optional<std::string> Url::formDecode(std::string_view text)
{
    std::string spaced(text);
    std::replace(spaced.begin(), spaced.end(), '+', ' ');
    return unescape(spaced);
}

}
