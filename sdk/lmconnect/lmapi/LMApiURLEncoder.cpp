#include "sdk/lmconnect/lmapi/LMApiURLEncoder.h"

#include "platform/foundation/Url.h"

std::optional<pf::Url> LMApiURLEncoder::urlWithScheme(const std::string& scheme, const std::string& host, const std::string& path,
    const std::map<std::string, std::string>& queryItem)
{
    if (scheme.empty())
        return std::nullopt;
    std::string text = scheme + "://" + host + path;
    if (!queryItem.empty()) {
        text += "?";
        for (const auto& [key, value] : queryItem)
            text += key + "=" + value + "&";
        text.pop_back();
    }
    return pf::Url::fromString(text);
}
