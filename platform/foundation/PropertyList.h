#pragma once

#include "platform/foundation/Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace pf {

// Property lists (binary and XML) <-> Value.
//
// Rules:
// - Reading never throws and never trusts the input: malformed, truncated or too deeply nested
//   data gives nullopt and a reason in `error`.
// - Integers are signed 64-bit; dates are kept to the microsecond; a UID (only found in keyed
//   archives) reads as the dictionary {"CF$UID": n} and such a dictionary writes back as a UID.
// - Null and missing values cannot be written: writing fails with a reason.
class PropertyList {
public:
    enum class Format { Binary, Xml };
    static constexpr int kMaxDepth = 512;

    static std::optional<Value> parse(const Bytes& data, std::string* error = nullptr, Format* format = nullptr);
    static std::optional<Value> parse(std::string_view data, std::string* error = nullptr, Format* format = nullptr);
    static std::optional<Bytes> write(const Value& value, Format format, std::string* error = nullptr);
    static std::optional<std::string> writeXml(const Value& value, std::string* error = nullptr);

    static std::optional<Value> readFile(const std::string& path, std::string* error = nullptr);
    // Written atomically.
    static bool writeFile(const std::string& path, const Value& value, Format format = Format::Binary, std::string* error = nullptr);
};

}
