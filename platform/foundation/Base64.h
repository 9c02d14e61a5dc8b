#pragma once

#include "platform/foundation/Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace pf {

// Standard base64 (RFC 4648, with padding). Decoding skips white space and fails on anything
// else outside the alphabet, on a length no encoding can have (a last group of one symbol)
// and on padding that does not complete the last group; padding may be left out.
class Base64 {
public:
    static std::string encode(const Bytes& data);
    static std::string encode(std::string_view data);
    static std::optional<Bytes> decode(std::string_view text);
};

}
