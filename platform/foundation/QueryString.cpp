#include "platform/foundation/QueryString.h"

#include "platform/foundation/Url.h"

namespace pf {

namespace {

enum class Outcome { Ok, DropPair, NoValue };

// Applies `escapes` to `raw` into `out`.
Outcome decode(std::string_view raw, QueryString::Escapes escapes, TextEncoding::Charset charset, std::string& out)
{
    if (escapes == QueryString::Escapes::Kept) {
        out.assign(raw);
        return Outcome::Ok;
    }
    auto resolved = Url::unescapeInCharset(raw, charset);
    if (resolved) {
        out = std::move(*resolved);
        return Outcome::Ok;
    }
    switch (escapes) {
    case QueryString::Escapes::ResolvedOrKept:
        out.assign(raw);
        return Outcome::Ok;
    case QueryString::Escapes::ResolvedOrNone:
        return Outcome::NoValue;
    default:
        return Outcome::DropPair;
    }
}

}

std::vector<QueryString::Item> QueryString::parse(std::string_view text, const Rules& rules)
{
    std::vector<Item> items;
    if (text.size() > rules.maximumLength)
        return items;
    size_t start = 0;
    for (size_t piecesRead = 0; start <= text.size() && piecesRead < kMaximumPieces; ++piecesRead) {
        size_t end = text.find_first_of(rules.separators, start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view piece = text.substr(start, end - start);
        start = end + 1;
        if (piece.empty())
            continue;

        size_t equals = piece.find('=');
        size_t second = equals == std::string_view::npos ? equals : piece.find('=', equals + 1);
        if (rules.pieces != Pieces::All && equals == std::string_view::npos)
            continue;
        if (rules.pieces == Pieces::WithOneEquals && second != std::string_view::npos)
            continue;
        std::string_view name = piece.substr(0, equals);
        if (rules.requireName && name.empty())
            continue;

        Item item;
        Outcome named = decode(name, rules.names, rules.charset, item.name);
        if (named != Outcome::Ok)
            continue;
        if (equals != std::string_view::npos) {
            size_t valueEnd = rules.valueEndsAtNextEquals ? second : std::string_view::npos;
            std::string_view raw = piece.substr(equals + 1, valueEnd == std::string_view::npos ? valueEnd : valueEnd - equals - 1);
            std::string value;
            Outcome valued = decode(raw, rules.values, rules.charset, value);
            if (valued == Outcome::DropPair)
                continue;
            if (valued == Outcome::Ok)
                item.value = std::move(value);
        }
        items.push_back(std::move(item));
    }
    return items;
}

std::optional<std::string_view> QueryString::afterSeparator(std::string_view text, std::string_view separator)
{
    size_t at = separator.empty() ? std::string_view::npos : text.find(separator);
    if (at == std::string_view::npos)
        return std::nullopt;
    return text.substr(at + separator.size());
}

}
