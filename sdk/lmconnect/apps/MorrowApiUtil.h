#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Helpers of the Morrow API channel.
class MorrowApiUtil {
public:
    // Lower-case hexadecimal MD5 of the UTF-8 bytes.
    static std::string md5(std::string_view text);
    // The schemes of the app's URL type named `name`; none when there is no such type.
    static std::optional<std::vector<std::string>> scheme(const std::string& name);
    // The pasteboard type of staged messages: the MD5 of the app's bundle identifier.
    static std::string pasteboardType();
};
