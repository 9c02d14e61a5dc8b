#pragma once

#include "platform/foundation/Value.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace pf {

// Digests and randomness. Text inputs are hashed as their UTF-8 bytes, whole (an embedded NUL
// is hashed like any other byte). Hex output is lower-case unless asked otherwise.
class Crypto {
public:
    static Bytes md5(const Bytes& data);
    static Bytes md5(std::string_view text);
    static std::string md5Hex(std::string_view text, bool upperCase = false);
    static std::string md5Hex(const Bytes& data, bool upperCase = false);

    static Bytes sha1(const Bytes& data);
    static Bytes sha1(std::string_view text);
    static std::string sha1Hex(std::string_view text, bool upperCase = false);
    static std::string sha1Hex(const Bytes& data, bool upperCase = false);

    // From the system's cryptographic random source.
    static Bytes randomBytes(size_t count);
    static std::uint32_t random32();

    static std::string hex(const Bytes& data, bool upperCase = false);
};

}
