#include "sdk/lmconnect/analytics/MRA4LCHelper.h"

#include "sdk/lmconnect/analytics/MRA4LCStore.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Gzip.h"
#include "platform/foundation/Reachability.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"


#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// Never destroyed: work still on a queue while the process exits reads them after static
// destruction has begun.
std::mutex& instanceMutex()
{
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::shared_ptr<MRA4LCHelper>& instanceSlot()
{
    static auto* slot = new std::shared_ptr<MRA4LCHelper>;
    return *slot;
}

std::string resolutionText(const pf::Device& device)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.fx%.f", device.screenWidth() * device.screenScale(),
        device.screenHeight() * device.screenScale());
    return text;
}

}

bool MRA4LCHelper::versionNotLower(const std::string& a, const std::string& b)
{
    // Parts are compared as numbers of any length (a server's version may have twenty digits):
    // as digit strings without leading zeros, the longer is larger, else the first difference.
    // A character that is no digit counts as 0, as it always has.
    auto part = [](const std::string& text, size_t& at) {
        std::string digits;
        for (; at < text.size() && text[at] != '.'; ++at) {
            char c = std::isdigit(static_cast<unsigned char>(text[at])) ? text[at] : '0';
            if (!(digits.empty() && c == '0'))
                digits += c;
        }
        ++at;
        return digits;
    };
    size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        std::string x = part(a, i), y = part(b, j);
        if (x.size() != y.size())
            return x.size() > y.size();
        if (x != y)
            return x > y;
    }
    return true;
}

std::shared_ptr<MRA4LCHelper> MRA4LCHelper::getInstance()
{
    static const bool registered = [] {
        pf::ResetRegistry::add([] { MRA4LCHelper::resetShared(); });
        return true;
    }();
    (void)registered;
    std::lock_guard lock(instanceMutex());
    if (!instanceSlot())
        instanceSlot().reset(new MRA4LCHelper());
    return instanceSlot();
}

void MRA4LCHelper::resetShared()
{
    std::shared_ptr<MRA4LCHelper> helper;
    std::lock_guard lock(instanceMutex());
    helper.swap(instanceSlot());
}

MRA4LCHelper::MRA4LCHelper()
{
    auto& device = pf::Device::current();
    m_env.devicename = device.machine();
    m_env.modulename = device.model();
    m_env.os_version = device.systemVersion();
    if (versionNotLower(m_env.os_version, "6.0"))
        m_env.ifv = device.vendorIdentifier();
    m_env.jailbroken = pf::FileManager::exists("/Applications/Cydia.app") || pf::FileManager::exists("/private/var/lib/apt/");
    m_env.timezone = pf::DateFormatter::localTimeZoneName();
    m_env.resolution = resolutionText(device);
    m_env.deviceid = device.identifier();
    if (auto languages = pf::UserDefaults::standard()->arrayForKey("AppleLanguages"); languages && !languages->empty())
        m_env.language = (*languages)[0].stringValue();
    auto mcc = device.carrierCountryCode();
    auto mnc = device.carrierNetworkCode();
    if (mcc && mnc)
        m_env.mccmnc = *mcc + *mnc;
    m_env.app_version = "unknown";
    if (auto bundle = pf::Bundle::main()) {
        if (const auto* v = bundle->objectForInfoDictionaryKey("CFBundleShortVersionString").asString())
            m_env.app_version = *v;
        else if (const auto* v = bundle->objectForInfoDictionaryKey("CFBundleVersion").asString())
            m_env.app_version = *v;
    }
}

std::optional<MRA4LCUser> MRA4LCHelper::getUser()
{
    bool held;
    {
        std::lock_guard lock(m_userMutex);
        held = m_user.has_value();
    }
    // Loaded without the lock: the store's queue may be waiting for it while encoding an event.
    std::optional<MRA4LCUser> loaded;
    if (!held)
        loaded = MRA4LCStore::getInstance()->loadUser();
    std::lock_guard lock(m_userMutex);
    if (!m_user)
        m_user = loaded;
    if (!m_user)
        return std::nullopt;
    auto now = static_cast<std::uint32_t>(pf::RunLoop::main().now());
    auto oldType = m_user->userType;
    if (now > m_user->tagTime) {
        auto today = pf::DateFormatter::localFields(now);
        auto tagged = pf::DateFormatter::localFields(m_user->tagTime);
        if (today && tagged && today->dayOfYear != tagged->dayOfYear) {
            m_user->userType |= 2;
            oldType = 1;
        }
    }
    if (m_user->appVer != m_env.app_version) {
        m_user->userType = oldType | 2;
        m_user->appVer = m_env.app_version;
    }
    if (m_user->userType != oldType) {
        m_user->tagTime = now;
        MRA4LCStore::getInstance()->storeUser(*m_user);
    }
    return m_user;
}

void MRA4LCHelper::chiperRC4(pf::Bytes& data)
{
    std::array<std::uint8_t, 256> s;
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<std::uint8_t>(i);
    const size_t keyLength = std::strlen(kRC4Key);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + static_cast<std::uint8_t>(kRC4Key[i % keyLength])) & 0xff;
        std::swap(s[i], s[j]);
    }
    int i = 0, j = 0;
    for (auto& byte : data) {
        i = (i + 1) & 0xff;
        j = (j + s[i]) & 0xff;
        std::swap(s[i], s[j]);
        byte ^= s[(s[i] + s[j]) & 0xff];
    }
}

int MRA4LCHelper::gZip(const pf::Bytes& in, pf::Bytes& out)
{
    auto packed = in.empty() ? std::nullopt : pf::Gzip::compress(in);
    if (!packed)
        return -1;
    out = std::move(*packed);
    return 0;
}

int MRA4LCHelper::gUnzip(const pf::Bytes& in, pf::Bytes& out)
{
    auto unpacked = in.empty() ? std::nullopt : pf::Gzip::decompress(in);
    if (!unpacked)
        return -1;
    out = std::move(*unpacked);
    return 0;
}

std::string MRA4LCHelper::getMacAddress()
{
    auto address = pf::Device::current().hardwareAddress();
    if (address.empty())
        return "if_nametoindex failure";
    for (auto& c : address)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return address;
}

bool MRA4LCHelper::isWiFiAvailable()
{
    return pf::Reachability::currentStatus() == pf::Reachability::Status::ViaWiFi;
}
