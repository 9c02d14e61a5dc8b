#include "core/PlatformInfo.h"

#include "core/BundlePropertyListReader.h"
#include "platform/foundation/ResetRegistry.h"

std::shared_ptr<PlatformInfo> PlatformInfo::sharedInstance()
{
    static const std::shared_ptr<PlatformInfo> instance = [] {
        auto info = std::make_shared<PlatformInfo>();
        info->readPlatformInfoFromPlistFie();
        // A test's fresh device reads its own bundle's list again.
        pf::ResetRegistry::add([weak = std::weak_ptr<PlatformInfo>(info)] {
            if (auto self = weak.lock())
                self->readPlatformInfoFromPlistFie();
        });
        return info;
    }();
    return instance;
}

void PlatformInfo::readPlatformInfoFromPlistFie()
{
    BundlePropertyListReader list("PlatformInfo");
    m_talmerinMobStatAppKey = list.text("TalmerinMobStatAppKey");
    m_parleyAppID = list.text("ParleyAppID");
    m_lZoneAppID = list.text("LZoneAppID");
    m_blipAppKey = list.text("BlipAppKey");
    m_isForAppStore = list.boolean("IsForAppStore");
}
