#include "sdk/stats/TalmerinUDID.h"

#include "platform/foundation/Device.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Keychain.h"
#include "platform/foundation/Log.h"
#include "sdk/stats/TalmerinMobStatDeviceInfo.h"

#include <functional>

namespace {

std::string cached(const char* item, const char* failureName, const std::function<std::string()>& source)
{
    pf::Keychain keychain = pf::Keychain::standard();
    if (auto data = keychain.passwordData(item, item)) {
        std::string error;
        auto value = pf::KeyedUnarchiver::unarchivedValue(*data, &error);
        if (value && value->asString() && !value->asString()->empty())
            return *value->asString();
        pf::Log::format("Unarchive of %s failed: %s", failureName,
            error.empty() ? "the item is not a text" : error.c_str());
    }
    std::string fresh = source();
    keychain.deletePassword(item, item);
    keychain.addPassword(item, item, pf::KeyedArchiver::archivedValue(pf::Value(fresh)));
    return fresh;
}

}

std::string TalmerinUDID::value()
{
    return cached(kDeviceIdItem, "talmerinopenudid", [] { return pf::Device::current().identifier(); });
}

std::string TalmerinUDID::macAddress()
{
    return cached(kMacAddressItem, "talmerinmac", [] { return TalmerinMobStatDeviceInfo::getMacAddress(); });
}
