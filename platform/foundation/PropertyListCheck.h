#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pf {

// The trailer of a binary property list: how wide its offsets and references are, how many
// entries it holds, which is the top one and where the offset table starts. `read` answers only
// for a trailer whose offset table lies inside the data; the offsets in the table are not checked.
struct BinaryPropertyListTrailer {
    int offsetWidth { 0 };
    int refWidth { 0 };
    std::uint64_t count { 0 };
    std::uint64_t top { 0 };
    std::uint64_t tableOffset { 0 };

    static std::optional<BinaryPropertyListTrailer> read(std::string_view data, std::string* error);
    // Where entry `entry` (below `count`) starts, as the offset table says.
    std::uint64_t entryOffset(const std::uint8_t* data, std::uint64_t entry) const
    {
        return readNumber(data + tableOffset + entry * offsetWidth, offsetWidth);
    }
    // The format's numbers are big-endian, `width` (1 to 8) bytes wide.
    static std::uint64_t readNumber(const std::uint8_t* p, int width)
    {
        // Small lists use one- and two-byte references and offsets.
        if (width == 1)
            return p[0];
        if (width == 2)
            return (std::uint64_t { p[0] } << 8) | p[1];
        std::uint64_t value = 0;
        for (int i = 0; i < width; ++i)
            value = (value << 8) | p[i];
        return value;
    }
};

// What a reader makes of a UTF-16 text holding a surrogate without its partner, a unit the
// property-list library would drop unseen. A store, which writes back what it read, takes it as
// damage (`Damage`); a reader of another app's reply, read once and never written back, reads the
// unit as U+FFFD, the replacement character (`Replace`).
enum class LoneSurrogates { Damage, Replace };

// Looks over property-list data before the property-list library is given it, refusing what the
// library cannot be trusted with. The library recurses without bound while reading and freeing
// (a few hundred kilobytes of nested containers exhaust the stack, even when it then rejects the
// data), copies an entry shared by several containers at each use (a file of a few hundred bytes
// can expand to gigabytes), and aborts the process on some texts holding a NUL character.
//
// Rules:
// - Both calls only read the data (and fill `marked`, below), in time and memory linear in its
//   size, and never throw. They answer true when the data may be parsed; otherwise false with a
//   reason in `error`.
// - Binary form: the trailer and offset table lie inside the data and every container's
//   references point at real entries. Walking from the top entry: no entry contains itself,
//   nesting (the top entry is level 1, leaves count as a level) stays within `maxNesting`, the
//   tree the library would build (shared entries counted at each use) has at most `maxNodes`
//   entries, and no text holds a NUL character or, in UTF-16, a surrogate without its partner
//   (which the library would drop unseen) unless marked or replaced (below). Only entries reachable from the
//   top are looked at (the library reads no others); leaf contents are left to the library.
// - XML form: no NUL character, raw or as a reference ("&#0;"), unless marked, and containers
//   (<array>, <dict>) nest at most `maxNesting` deep. The nesting is found by a scan that never
//   counts shallower than the library would read: an opening container tag counts wherever it
//   stands, while a closing tag counts only where it is markup (not in a comment, CDATA
//   section, declaration, processing instruction or inside another tag).
// - With `marked` (for a reader that takes a text holding a NUL, or a lone surrogate, as one
//   damaged entry, not the
//   whole list as damaged), such a text is not refused: `marked` receives a copy of the data in
//   which it is made of bytes 0xFF (binary: the whole text, in one-byte units; XML: each NUL and
//   the "&" of each reference to one). The library reads that whole, as a text that is no UTF-8,
//   so the reader sees damage and never a text cut short at the NUL. In XML only the text of a
//   <string> or <key> is marked: a NUL in other content (data, numbers), where the library
//   would skip the byte or end the value unseen, is still refused. `marked` stays empty when no
//   text needed it.
// - With `lone` Replace (binary form, and `marked` given), a surrogate without its partner is
//   no damage: `marked` receives instead a copy in which each such unit is U+FFFD, which the
//   library reads as it is; a text holding a NUL is refused as without `marked`. `marked` stays
//   empty when no unit needed it.
class PropertyListCheck {
public:
    static bool binary(std::string_view data, int maxNesting, std::uint64_t maxNodes, std::string* error, std::string* marked = nullptr,
        LoneSurrogates lone = LoneSurrogates::Damage);
    static bool xml(std::string_view text, int maxNesting, std::string* error, std::string* marked = nullptr);
};

}
