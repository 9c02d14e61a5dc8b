#pragma once

#include "platform/foundation/Url.h"
#include <map>
#include <optional>
#include <string>


// "<scheme>://<host><path>?k=v&k=v" from its parts, nothing escaped (the values are Base64 or
// escaped already). None without a scheme or when the text is no address.
class LMApiURLEncoder {
public:
    static std::optional<pf::Url> urlWithScheme(const std::string& scheme, const std::string& host, const std::string& path,
        const std::map<std::string, std::string>& queryItem);
};
