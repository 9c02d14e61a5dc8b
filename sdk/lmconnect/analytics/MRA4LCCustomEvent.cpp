#include "sdk/lmconnect/analytics/MRA4LCCustomEvent.h"

#include "platform/foundation/Json.h"

namespace {

nlohmann::ordered_json toJson(const pf::Value& value)
{
    return nlohmann::ordered_json::parse(pf::Json::write(value), nullptr, false);
}

}

void MRA4LCCustomEvent::encode(nlohmann::ordered_json& object) const
{
    object["ei"] = eventID;
    if (args)
        object["ar"] = toJson(pf::Value(*args));
    if (kvs)
        object["kv"] = toJson(pf::Value(*kvs));
    if (duration != 0)
        object["du"] = duration;
}
