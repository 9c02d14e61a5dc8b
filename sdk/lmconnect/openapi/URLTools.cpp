#include "sdk/lmconnect/openapi/URLTools.h"

#include "sdk/lmconnect/openapi/MrApiTool.h"

std::optional<std::string> URLTools::GetURLWithParam(const std::optional<std::string>& url, const pf::Dictionary& params)
{
    return MrApiTool::GetURLWithParam(url, params);
}
