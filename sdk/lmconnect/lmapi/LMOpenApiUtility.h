#pragma once

#include "platform/foundation/Url.h"
#include "platform/foundation/Value.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>


// Address calls to other apps, Base64 and the presence query of the LM exchange.
class LMOpenApiUtility {
public:
    static bool canOpenURL(const std::optional<pf::Url>& url);
    // 0 opened; -1 for no address, an address no app takes (logged) or a failed opening.
    static std::int32_t openURL(const std::optional<pf::Url>& url);

    static std::string base64EncodedStringWithData(const pf::Bytes& data);
    static std::string base64EncodedStringWithUTF8String(std::string_view text);
    // None when the text is not Base64 (see mrosdk_base64_decode).
    static std::optional<pf::Bytes> dataWithBase64EncodedString(std::string_view text);
    // None when the text is not Base64 or the bytes are not UTF-8.
    static std::optional<std::string> UTF8StringWithBase64String(std::string_view text);

    // "<presence host>getonline?Type=1&" and "<number>:" for each number.
    static std::string urlStringWithLMUinsArray(const std::vector<std::string>& uins);
    // The presence reply "<10 characters><0|1>;..." as number -> "YES"/"NO".
    static std::map<std::string, std::string> dictionaryWithReturnString(std::string_view reply, const std::vector<std::string>& uins);
};

// Base64 of RFC 4648 without line breaks; the caller frees the text with free(). The length
// without the NUL goes to `outLength` when given.
char* mrosdk_base64_encode(const std::uint8_t* data, size_t length, size_t* outLength);
// Characters outside the alphabet and "=" are skipped. The rest must be whole groups of four
// with "=" only at the end (one or two); otherwise nothing (nullptr). The caller frees the
// bytes with free().
std::uint8_t* mrosdk_base64_decode(const char* text, size_t length, size_t* outLength);
