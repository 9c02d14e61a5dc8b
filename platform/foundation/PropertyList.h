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
// - Integers are signed 64-bit; dates are kept to the microsecond (at worst one short), but to
//   the second in XML and before 2001 (the library misreads earlier fractions); a UID (only
//   found in keyed archives) reads as the dictionary {"CF$UID": n} and such a dictionary writes back as a UID.
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
