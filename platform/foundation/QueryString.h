#pragma once

#include "platform/foundation/TextEncoding.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pf {

// The one reader of "name=value&name=value" texts: URL queries and fragments, the answers other
// apps put in the addresses they open, the script bridge's calls. Readers differ in what they
// accept (peers rely on each reader's exact shape), so the differences are its `Rules`; the
// splitting, the escapes and the bounds are the same for all.
//
// Rules:
// - The text is cut at every "&" (or at each of the rules' separators); an empty piece is never
//   a pair. A piece's name is the text before its first "=", its value the text after it (or,
//   with `valueEndsAtNextEquals`, up to the next "="); a piece without "=" has no value.
// - Escapes are "%XX" of UTF-8 text (or of text in the rules' charset); "+" is a plus, not a
//   space.
// - Untrusted input: a text longer than the rules' `maximumLength` (`kMaximumLength` unless a
//   reader with a bound of its own says otherwise) gives no pairs at all, and only the first
//   `kMaximumPieces` pieces are read.
// - Pairs come in the text's order with repeated names kept; a reader that keeps one value per
//   name lets the later one win by adding them in order.
class QueryString {
public:
    static constexpr size_t kMaximumLength = 256 * 1024;
    static constexpr size_t kMaximumPieces = 1000;

    struct Item {
        std::string name;
        std::optional<std::string> value; // none for "a" in "a&b=1"
        bool operator==(const Item&) const = default;
    };

    // Which pieces make a pair.
    enum class Pieces {
        All,            // every non-empty piece, "=" or not
        WithEquals,     // pieces with at least one "="
        WithOneEquals,  // pieces with exactly one "="
    };

    // What happens to escapes in a name or a value.
    enum class Escapes {
        Kept,              // the text as written
        ResolvedOrKept,    // resolved; a malformed escape leaves the text as written
        ResolvedOrSkipped, // resolved; a malformed escape drops the whole pair
        ResolvedOrNone,    // resolved; a malformed escape leaves the pair without a value
                           // (for a name: drops the pair)
    };

    struct Rules {
        Pieces pieces { Pieces::All };
        bool requireName { false }; // a pair whose name is empty (as written) is dropped
        bool valueEndsAtNextEquals { false };
        Escapes names { Escapes::ResolvedOrKept };
        Escapes values { Escapes::ResolvedOrKept };
        size_t maximumLength { kMaximumLength };
        std::string_view separators { "&" };
        TextEncoding::Charset charset { TextEncoding::Charset::Utf8 };
    };

    static std::vector<Item> parse(std::string_view text, const Rules& rules);
    // The text after the first occurrence of `separator` ("?", "#", "?#"); none when it does not
    // occur or is empty.
    static std::optional<std::string_view> afterSeparator(std::string_view text, std::string_view separator);
};

}
