#pragma once

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
//   most kMaxNodes values once entries shared in the binary form count at each use, and no text
//   holding a NUL character. A text or key that is not UTF-8 (or holds a NUL) is damage too.
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

    static std::optional<Value> parse(const Bytes& data, std::string* error = nullptr, Format* format = nullptr);
    static std::optional<Value> parse(std::string_view data, std::string* error = nullptr, Format* format = nullptr);
    static std::optional<Bytes> write(const Value& value, Format format, std::string* error = nullptr);
    static std::optional<std::string> writeXml(const Value& value, std::string* error = nullptr);

    static std::optional<Value> readFile(const std::string& path, std::string* error = nullptr);
    // Written atomically.
    static bool writeFile(const std::string& path, const Value& value, Format format = Format::Binary, std::string* error = nullptr);
};

}
