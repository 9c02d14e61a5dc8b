#include "sdk/lmconnect/analytics/MRA4LCSessionEnv.h"

#include "sdk/lmconnect/analytics/MRA4LCConfig.h"
#include "sdk/lmconnect/analytics/MRA4LCDataConfigHolder.h"
#include "sdk/lmconnect/analytics/MRA4LCHelper.h"

#include "platform/foundation/Reachability.h"

void MRA4LCSessionEnv::encode(nlohmann::ordered_json& object) const
{
    auto helper = MRA4LCHelper::getInstance();
    const auto& env = helper->getEnv();
    nlohmann::ordered_json ev;
    ev["tz"] = env.timezone;
    ev["ov"] = env.os_version;
    ev["av"] = env.app_version;
    ev["os"] = 2;
    ev["sv"] = env.sdk_version;
    ev["lg"] = env.language;
    ev["sr"] = env.resolution;
    if (env.mccmnc)
        ev["op"] = *env.mccmnc;
    ev["md"] = env.devicename;
    ev["mf"] = env.modulename;
    ev["ch"] = MRA4LCConfig::shared().channel();
    auto status = pf::Reachability::currentStatus();
    if (status == pf::Reachability::Status::ViaWiFi)
        ev["cn"] = "WIFI";
    else if (status == pf::Reachability::Status::ViaCellular)
        ev["cn"] = "CellNetwork";
    object["ev"] = ev;
    auto user = helper->getUser();
    object["ut"] = user ? user->userType : 0;
    if (env.jailbroken)
        object["jb"] = 1;
    MRA4LCDataConfigHolder::encodeVersions(object);
}
