#include "sdk/stats/TalmerinMobStatDeviceInfo.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Reachability.h"

#include "platform/foundation/Sandbox.h"

#include <cmath>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>

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

std::string TalmerinMobStatDeviceInfo::getBundleIdentifier()
{
    auto bundle = pf::Bundle::main();
    return bundle ? bundle->bundleIdentifier() : std::string();
}

void TalmerinMobStatDeviceInfo::printAppInfo()
{
    if (auto bundle = pf::Bundle::main())
        (void)bundle->infoDictionary();
}

unsigned long long TalmerinMobStatDeviceInfo::memory()
{
    long pages = ::sysconf(_SC_PHYS_PAGES);
    long size = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && size > 0 ? static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(size) : 0;
}

long long TalmerinMobStatDeviceInfo::totalDiskSpace()
{
    struct statvfs fs { };
    if (::statvfs(pf::Sandbox::current()->documentsPath().c_str(), &fs) != 0)
        return 0;
    double bytes = double(fs.f_frsize) * double(fs.f_blocks);
    return std::llround(bytes / double(1ull << 30));
}

std::string TalmerinMobStatDeviceInfo::modelTypeFor(const std::string& platform)
{
    static const std::pair<const char*, const char*> kNames[] = {
        { "iPhone1,1", "iPhone 1G" }, { "iPhone1,2", "iPhone 3G" }, { "iPhone2,1", "iPhone 3GS" }, { "iPhone3,1", "iPhone 4" },
        { "iPod1,1", "iPod Touch 1G" }, { "iPod2,1", "iPod Touch 2G" }, { "iPod3,1", "iPod Touch 3G" },
        { "iPod4,1", "iPod Touch 4G" }, { "iPad1,1", "iPad" }, { "iPad2,1", "iPad 2 (WiFi)" }, { "iPad2,2", "iPad 2 (GSM)" },
        { "iPad2,3", "iPad 2 (CDMA)" }, { "i386", "Simulator" },
    };
    for (const auto& [id, name] : kNames) {
        if (platform == id)
            return name;
    }
    return platform;
}

std::string TalmerinMobStatDeviceInfo::modelType()
{
    return modelTypeFor(platform());
}
