#include "core/PlatformInfo.h"

#include "platform/foundation/Bundle.h"

std::shared_ptr<PlatformInfo> PlatformInfo::sharedInstance()
{
    static const std::shared_ptr<PlatformInfo> instance = [] {
        auto info = std::make_shared<PlatformInfo>();
        info->readPlatformInfoFromPlistFie();
        return info;
    }();
    return instance;
}

void PlatformInfo::readPlatformInfoFromPlistFie()
{
    pf::Value list;
    if (auto bundle = pf::Bundle::main())
        list = bundle->propertyListResource("PlatformInfo").value_or(pf::Value());
    auto textOf = [&](const char* key) {
        const std::string* text = list[key].asString();
        return text ? *text : std::string();
    };
    m_talmerinMobStatAppKey = textOf("TalmerinMobStatAppKey");
    m_parleyAppID = textOf("ParleyAppID");
    m_lZoneAppID = textOf("LZoneAppID");
    m_blipAppKey = textOf("BlipAppKey");
    m_isForAppStore = list["IsForAppStore"].boolValue();
}
