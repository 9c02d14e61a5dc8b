#pragma once

#include "platform/foundation/Value.h"

#include <optional>
#include <string>

// The address builder under the name the web pages' code knows it by; the same as MrApiTool's.
class URLTools {
public:
    static std::optional<std::string> GetURLWithParam(const std::optional<std::string>& url, const pf::Dictionary& params);
};
