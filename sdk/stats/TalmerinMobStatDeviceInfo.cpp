#include "sdk/stats/TalmerinMobStatDeviceInfo.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Reachability.h"

#include <cmath>

std::string TalmerinMobStatDeviceInfo::getMacAddress()
{
    return pf::Device::current().hardwareAddress();
}

std::string TalmerinMobStatDeviceInfo::getNOP()
{
    auto& device = pf::Device::current();
    auto network = device.carrierNetworkCode();
    if (!network || network->empty())
        return "";
    return device.carrierCountryCode().value_or("") + *network;
}

int TalmerinMobStatDeviceInfo::screenPixelWidth()
{
    auto& device = pf::Device::current();
    return static_cast<int>(std::lround(device.screenWidth() * device.screenScale()));
}

int TalmerinMobStatDeviceInfo::screenPixelHeight()
{
    auto& device = pf::Device::current();
    return static_cast<int>(std::lround(device.screenHeight() * device.screenScale()));
}

std::string TalmerinMobStatDeviceInfo::getBundleVersion()
{
    const std::string* version = pf::Bundle::main()->objectForInfoDictionaryKey("CFBundleVersion").asString();
    return version ? *version : "";
}

std::string TalmerinMobStatDeviceInfo::getInternetConnection()
{
    return pf::Reachability::currentStatus() == pf::Reachability::Status::ViaWiFi ? "wifi" : "";
}

std::string TalmerinMobStatDeviceInfo::platform()
{
    return pf::Device::current().machine();
}
