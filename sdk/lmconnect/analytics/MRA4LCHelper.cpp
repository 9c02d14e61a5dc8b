#include "sdk/lmconnect/analytics/MRA4LCHelper.h"

#include "sdk/lmconnect/analytics/MRA4LCStore.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"

#include <zlib.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

std::mutex g_instanceMutex;
std::shared_ptr<MRA4LCHelper> g_instance;

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
    size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        long x = 0, y = 0;
        while (i < a.size() && a[i] != '.')
            x = x * 10 + (std::isdigit(static_cast<unsigned char>(a[i])) ? a[i] - '0' : 0), ++i;
        while (j < b.size() && b[j] != '.')
            y = y * 10 + (std::isdigit(static_cast<unsigned char>(b[j])) ? b[j] - '0' : 0), ++j;
        if (x != y)
            return x > y;
        ++i, ++j;
    }
    return true;
}

std::shared_ptr<MRA4LCHelper> MRA4LCHelper::getInstance()
{
    std::lock_guard lock(g_instanceMutex);
    if (!g_instance)
        g_instance.reset(new MRA4LCHelper());
    return g_instance;
}

void MRA4LCHelper::resetShared()
{
    std::lock_guard lock(g_instanceMutex);
    g_instance.reset();
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
    if (in.empty())
        return -1;
    z_stream stream {};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return -1;
    out.assign(deflateBound(&stream, in.size()), 0);
    stream.next_in = const_cast<Bytef*>(in.data());
    stream.avail_in = static_cast<uInt>(in.size());
    int rc;
    do {
        if (stream.total_out >= out.size())
            out.resize(out.size() + 8192);
        stream.next_out = out.data() + stream.total_out;
        stream.avail_out = static_cast<uInt>(out.size() - stream.total_out);
        rc = deflate(&stream, Z_FINISH);
    } while (rc == Z_OK || rc == Z_BUF_ERROR);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return rc == Z_STREAM_END ? 0 : -1;
}

int MRA4LCHelper::gUnzip(const pf::Bytes& in, pf::Bytes& out)
{
    if (in.empty())
        return -1;
    z_stream stream {};
    if (inflateInit2(&stream, 47) != Z_OK)
        return -1;
    out.assign(in.size() + in.size() / 2 + 64, 0);
    stream.next_in = const_cast<Bytef*>(in.data());
    stream.avail_in = static_cast<uInt>(in.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
        if (stream.total_out >= out.size())
            out.resize(out.size() + in.size() / 2 + 64);
        stream.next_out = out.data() + stream.total_out;
        stream.avail_out = static_cast<uInt>(out.size() - stream.total_out);
        rc = inflate(&stream, Z_SYNC_FLUSH);
        if (rc == Z_BUF_ERROR && stream.avail_out > 0)
            break; // the input ended before the stream did
        if (rc == Z_BUF_ERROR)
            rc = Z_OK;
    }
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return rc == Z_STREAM_END ? 0 : -1;
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
