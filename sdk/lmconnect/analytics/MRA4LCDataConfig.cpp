#include "sdk/lmconnect/analytics/MRA4LCDataConfig.h"

#include "platform/foundation/Json.h"

std::optional<MRA4LCDataConfig> MRA4LCDataConfig::decode(const pf::Value& server)
{
    const auto& c = server["c"];
    const auto& v = server["v"];
    const auto* m = server["m"].asString();
    if (!m || !v.asInteger() || *v.asInteger() < 0 || *v.asInteger() > UINT32_MAX)
        return std::nullopt;
    MRA4LCDataConfig config;
    if (c.isDictionary())
        config.content = pf::Json::write(c);
    else if (const auto* text = c.asString())
        config.content = *text;
    else
        return std::nullopt;
    config.version = static_cast<std::uint32_t>(*v.asInteger());
    config.md5 = *m;
    return config;
}
