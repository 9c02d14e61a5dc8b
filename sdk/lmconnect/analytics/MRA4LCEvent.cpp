#include "sdk/lmconnect/analytics/MRA4LCEvent.h"

#include "sdk/lmconnect/analytics/MRA4LCConfig.h"
#include "sdk/lmconnect/analytics/MRA4LCHelper.h"

#include "platform/foundation/RunLoop.h"

MRA4LCEvent::MRA4LCEvent()
    : ts(static_cast<std::uint32_t>(pf::RunLoop::main().now()))
{
}

std::string MRA4LCEvent::toJsonString() const
{
    auto helper = MRA4LCHelper::getInstance();
    const auto& env = helper->getEnv();
    nlohmann::ordered_json object;
    object["ts"] = ts;
    object["si"] = sid;
    object["mc"] = MRA4LCHelper::getMacAddress();
    object["ui"] = env.deviceid;
    if (env.ifv)
        object["ifv"] = *env.ifv;
    object["et"] = getType();
    if (auto key = MRA4LCConfig::shared().appkey())
        object["ky"] = *key;
    encode(object);
    // Texts from scripts may hold broken UTF-8; replace rather than lose the event.
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}
