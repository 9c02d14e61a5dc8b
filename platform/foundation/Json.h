#pragma once

#include "platform/foundation/Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace pf {

// JSON text <-> Value. Parsing never throws: malformed text, or nesting deeper than
// `kMaxDepth`, gives nullopt and a reason in `error`. Object keys keep their order; a repeated
// key keeps its last value in the first key's place.
class Json {
public:
    static constexpr int kMaxDepth = 256;

    static std::optional<Value> parse(std::string_view text, std::string* error = nullptr);
    static std::optional<Value> parse(const Bytes& bytes, std::string* error = nullptr);
    // Missing values are left out of objects and written as null in arrays; data is written as
    // base64 text, dates as seconds since 1970.
    static std::string write(const Value& value, bool pretty = false);
};

}
