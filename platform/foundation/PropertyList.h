#pragma once

#include "platform/foundation/PropertyListCheck.h"
#include "platform/foundation/Value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pf {

// Property lists (binary and XML) <-> Value.
//
// Rules:
// - Reading never throws and never trusts the input: malformed, truncated or too deeply nested
//   data gives nullopt and a reason in `error`. Before the property-list library sees the data
//   it passes PropertyListCheck: nesting at most kMaxDepth deep, no entry containing itself, at
//   most kMaxNodes values once entries shared in the binary form count at each use, and (for
//   `parse`) no text holding a NUL character. A text or key that is not UTF-8 (or holds a NUL) is damage too:
//   `parse` refuses the whole list for it, for readers that need the list whole (a reply, the
//   keyed archive). So is a UTF-16 text holding a surrogate without its partner, except to a
//   reader of another app's reply, read once and never written back: with `lone` Replace the
//   unit reads as U+FFFD.
// - `parseEntries` is for stores of separate entries (settings, keychain items, apps' records),
//   where one entry that does not read must not cost the others: such an entry (a damaged text
//   or key, a value of a kind not known here) is left out and counted instead. The entries are
//   the elements of the containers down to `entryLevel` levels below the top (1: the top
//   container's own elements); damage deeper down leaves out the entry at that level holding
//   it, so no entry is read other than it was. A text holding a NUL reads as such damage, never
//   cut short. The bounds above, a malformed list and a damaged top value still refuse the
//   whole list. A store that writes back what it read sets the file aside first (a copy), so
//   the left-out entries are kept.
// - Integers are signed 64-bit. A date in the binary form is kept exactly: read and written back
//   it keeps its bytes, and any finite date can be written. The XML form's text holds whole
//   seconds: a date is written as its nearest second, and one beyond 2^31 seconds of 2001 is
//   refused. A date that is not finite is refused by the writer and is damage to the reader.
// - A UID (only found in keyed archives) reads as the dictionary {"CF$UID": n} and such a
//   dictionary writes back as a UID.
// - Null and missing values cannot be written, nor texts or keys that are not UTF-8 or hold a
//   NUL character (the format would keep them cut short or altered): writing fails with a reason.
class PropertyList {
public:
    enum class Format { Binary, Xml };
    static constexpr int kMaxDepth = 512;
    static constexpr std::uint64_t kMaxNodes = 1u << 20;

    static std::optional<Value> parse(const Bytes& data, std::string* error = nullptr, Format* format = nullptr,
        LoneSurrogates lone = LoneSurrogates::Damage);
    static std::optional<Value> parse(std::string_view data, std::string* error = nullptr, Format* format = nullptr,
        LoneSurrogates lone = LoneSurrogates::Damage);
    // `leftOut` gets how many entries were left out; `error` the reason of the last one.
    static std::optional<Value> parseEntries(const Bytes& data, int entryLevel, size_t* leftOut, std::string* error = nullptr);
    static std::optional<Bytes> write(const Value& value, Format format, std::string* error = nullptr);
    static std::optional<std::string> writeXml(const Value& value, std::string* error = nullptr);

    static std::optional<Value> readFile(const std::string& path, std::string* error = nullptr);
    // Written atomically.
    static bool writeFile(const std::string& path, const Value& value, Format format = Format::Binary, std::string* error = nullptr);
};

}
