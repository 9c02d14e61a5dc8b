#pragma once

#include "platform/foundation/QueryString.h"
#include "platform/foundation/TextEncoding.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pf {

// A URL, parsed once from its text, plus the percent-escaping helpers.
//
// Rules:
// - `fromString` fails (nullopt) on text that is not a legal URL: characters outside the URL
//   character set (spaces, quotes, non-ASCII, "<>{}|\\^`"), a "%" not followed by two hex
//   digits, a second "#", a bad port. Such text must be escaped first.
// - The host keeps its case and excludes any user information; `path()` and the path
//   components are unescaped; `query()` and `fragment()` are as written.
// - Escaping works on the UTF-8 bytes of the text; every byte outside ASCII is escaped.
class Url {
public:
    using QueryItem = QueryString::Item;

    static std::optional<Url> fromString(std::string_view text);
    // "file://" plus the escaped absolute path.
    static Url fileUrl(std::string_view path);

    const std::string& absoluteString() const { return m_text; }
    const std::string& scheme() const { return m_scheme; }
    bool hasScheme(std::string_view scheme) const; // case-insensitive
    const std::string& host() const { return m_host; }
    std::optional<int> port() const { return m_port; }
    const std::optional<std::string>& user() const { return m_user; }
    // Unescaped path; escaped text as written when it does not unescape.
    std::string path() const;
    const std::string& escapedPath() const { return m_path; }
    // "/" first for an absolute path, then each non-empty segment, unescaped.
    std::vector<std::string> pathComponents() const;
    std::string lastPathComponent() const;
    const std::optional<std::string>& query() const { return m_query; }
    const std::optional<std::string>& fragment() const { return m_fragment; }
    // The query's pieces as `QueryString` reads them by default: every non-empty piece, name and
    // value unescaped where they unescape, repeated names kept in order.
    std::vector<QueryItem> queryItems() const;
    bool isFileUrl() const { return hasScheme("file"); }

    // The URL with one more path segment (escaped); the query and fragment are kept.
    Url appendingPathComponent(std::string_view component) const;

    bool operator==(const Url& other) const { return m_text == other.m_text; }

    // Escaping. Characters that are legal in a URL are kept unless listed in `alsoEscape`;
    // everything else is escaped unless listed in `leaveUnescaped` (ASCII only).
    static std::string escape(std::string_view text, std::string_view alsoEscape = {}, std::string_view leaveUnescaped = {});
    // Whole-URL escaping: only characters that may not appear in a URL at all are escaped.
    static std::string escapeLegacy(std::string_view text) { return escape(text); }
    // Escapes all but the unreserved characters (letters, digits, "-._~"): a query value or
    // path segment.
    static std::string escapeComponent(std::string_view text);
    // As `escape`, for a server that reads escapes in another charset: characters outside ASCII
    // become the escaped bytes of their encoding in `charset`. None when the text is not UTF-8 or
    // holds a character the charset cannot write.
    static std::optional<std::string> escapeInCharset(std::string_view text, TextEncoding::Charset charset, std::string_view alsoEscape);
    // Unescapes "%XX"; nullopt on a malformed escape or when the result is not UTF-8.
    // Escapes of characters in `leaveEscaped` stay as they are.
    static std::optional<std::string> unescape(std::string_view text, std::string_view leaveEscaped = {});
    // Unescapes "%XX" whose bytes are text in `charset`: each run of escapes is read in it, the
    // characters between them are kept. Nullopt on a malformed escape, on a run that is no text
    // in the charset (a byte it does not define, a character cut in two) or when the result is
    // not UTF-8. With UTF-8 it is `unescape`.
    static std::optional<std::string> unescapeInCharset(std::string_view text, TextEncoding::Charset charset);
    // Form decoding: "+" is a space, then `unescape`.
    static std::optional<std::string> formDecode(std::string_view text);
    // Whether a character may appear literally in a URL.
    static bool isLegalCharacter(char c);

private:
    Url() = default;

    std::string m_text;
    std::string m_scheme;
    std::optional<std::string> m_user;
    std::string m_host;
    std::optional<int> m_port;
    std::string m_path;
    std::optional<std::string> m_query;
    std::optional<std::string> m_fragment;
    bool m_hasAuthority { false };
};

}
