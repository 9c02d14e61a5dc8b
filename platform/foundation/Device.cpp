#include "platform/foundation/Device.h"

#include "platform/foundation/Crypto.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/TextEncoding.h"
#include "platform/foundation/UserDefaults.h"

#include <cstdio>

namespace pf {

namespace {

// The text another app (or an earlier launch) left on `board`; none when there is none or it is
// not a text the user defaults can keep as it is (UTF-8 without NUL): such a value could not
// stay the same from one launch to the next, so it counts as absent.
std::optional<std::string> textOn(const std::shared_ptr<Pasteboard>& board, const std::string& type)
{
    if (!board)
        return std::nullopt;
    auto data = board->dataForType(type);
    if (!data || data->empty())
        return std::nullopt;
    std::string text(data->begin(), data->end());
    if (!TextEncoding::isNulFreeUtf8(text))
        return std::nullopt;
    return text;
}

// A value kept both in the user defaults and on a persistent pasteboard.
std::string sharedValue(const std::string& defaultsKey, const std::string& boardName, const std::string& type, std::string (*make)())
{
    static auto& mutex = *new std::mutex;
    std::lock_guard lock(mutex);
    auto defaults = UserDefaults::standard();
    auto stored = defaults->stringForKey(defaultsKey);
    auto board = Pasteboard::withName(boardName, false);
    auto onBoard = textOn(board, type);
    std::string value = stored && !stored->empty() ? *stored : onBoard ? *onBoard : make();
    if (!stored || *stored != value)
        defaults->setString(defaultsKey, value);
    if (!onBoard || *onBoard != value) {
        board = Pasteboard::withName(boardName, true);
        board->setPersistent(true);
        board->setData(Bytes(value.begin(), value.end()), type);
    }
    return value;
}

std::string makeIdentifier()
{
    return Crypto::sha1Hex(Crypto::randomBytes(32));
}

}

Device& Device::current()
{
    static Device* device = new Device(); // read from worker threads until the process ends
    return *device;
}

Device::Device()
{
    resetToDefaults();
}

void Device::resetToDefaults()
{
    std::lock_guard lock(m_mutex);
    m_systemVersion = "7.0";
    m_idiom = Idiom::Phone;
    m_model.reset();
    m_machine = "i386";
    m_width = 320;
    m_height = 480;
    m_scale = 2;
    m_multitasking = true;
    m_hardwareAddress = "02:00:00:00:00:00";
    m_mcc.reset();
    m_mnc.reset();
}

std::string Device::systemVersion() const { std::lock_guard lock(m_mutex); return m_systemVersion; }
void Device::setSystemVersion(std::string version) { std::lock_guard lock(m_mutex); m_systemVersion = std::move(version); }
double Device::systemVersionFloat() const { return text::doubleValue(systemVersion()); }
int Device::systemMajorVersion() const { return text::intValue(systemVersion()); }

Device::Idiom Device::idiom() const { std::lock_guard lock(m_mutex); return m_idiom; }
void Device::setIdiom(Idiom idiom) { std::lock_guard lock(m_mutex); m_idiom = idiom; }

std::string Device::model() const
{
    std::lock_guard lock(m_mutex);
    if (m_model)
        return *m_model;
    return m_idiom == Idiom::Tablet ? "Tablet" : "Phone";
}

void Device::setModel(std::optional<std::string> model) { std::lock_guard lock(m_mutex); m_model = std::move(model); }
std::string Device::machine() const { std::lock_guard lock(m_mutex); return m_machine; }
void Device::setMachine(std::string machine) { std::lock_guard lock(m_mutex); m_machine = std::move(machine); }

double Device::screenWidth() const { std::lock_guard lock(m_mutex); return m_width; }
double Device::screenHeight() const { std::lock_guard lock(m_mutex); return m_height; }
double Device::screenScale() const { std::lock_guard lock(m_mutex); return m_scale; }
void Device::setScreenSize(double width, double height) { std::lock_guard lock(m_mutex); m_width = width; m_height = height; }
void Device::setScreenScale(double scale) { std::lock_guard lock(m_mutex); m_scale = scale; }

bool Device::isMultitaskingSupported() const { std::lock_guard lock(m_mutex); return m_multitasking; }
void Device::setMultitaskingSupported(bool supported) { std::lock_guard lock(m_mutex); m_multitasking = supported; }

std::string Device::hardwareAddress() const { std::lock_guard lock(m_mutex); return m_hardwareAddress; }
void Device::setHardwareAddress(std::string address) { std::lock_guard lock(m_mutex); m_hardwareAddress = std::move(address); }
std::optional<std::string> Device::carrierCountryCode() const { std::lock_guard lock(m_mutex); return m_mcc; }
std::optional<std::string> Device::carrierNetworkCode() const { std::lock_guard lock(m_mutex); return m_mnc; }

void Device::setCarrier(std::optional<std::string> countryCode, std::optional<std::string> networkCode)
{
    std::lock_guard lock(m_mutex);
    m_mcc = std::move(countryCode);
    m_mnc = std::move(networkCode);
}

std::string Device::identifier()
{
    return sharedValue(kIdentifierDefaultsKey, kIdentifierPasteboard, kIdentifierType, &makeIdentifier);
}

std::string Device::vendorIdentifier()
{
    static auto& mutex = *new std::mutex;
    std::lock_guard lock(mutex);
    auto defaults = UserDefaults::standard();
    auto stored = defaults->stringForKey("VendorIdentifier");
    if (stored && !stored->empty())
        return *stored;
    std::string value = makeUuid();
    defaults->setString("VendorIdentifier", value);
    return value;
}

std::string Device::advertisingIdentifier()
{
    static auto& mutex = *new std::mutex;
    std::lock_guard lock(mutex);
    auto board = Pasteboard::withName("pf.device.advertising", false);
    if (auto value = textOn(board, "pf.device.advertising"))
        return *value;
    std::string value = makeUuid();
    board = Pasteboard::withName("pf.device.advertising", true);
    board->setPersistent(true);
    board->setData(Bytes(value.begin(), value.end()), "pf.device.advertising");
    return value;
}

std::string Device::makeUuid()
{
    Bytes b = Crypto::randomBytes(16);
    b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40); // version 4
    b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80); // variant 1
    std::string hex = Crypto::hex(b, true);
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) + "-" + hex.substr(20);
}

}
