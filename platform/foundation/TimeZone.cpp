#include "platform/foundation/TimeZone.h"

#include "platform/foundation/FileManager.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

namespace pf {

namespace {

constexpr const char* kZoneFolder = "/usr/share/zoneinfo/";
constexpr std::int64_t kCalendarCycle = 28LL * 365 * 86400 + 7 * 86400; // 28 years, 7 leap days
// Zone files list the changes of zones with yearly rules up to a horizon (2037); a zone whose
// last change lies this late still has such rules.
constexpr std::int64_t kRulesStillRunning = 1'893'456'000; // 2030-01-01

std::uint64_t readBig(const Bytes& data, size_t at, int width)
{
    std::uint64_t value = 0;
    for (int i = 0; i < width; ++i)
        value = (value << 8) | data[at + static_cast<size_t>(i)];
    return value;
}

std::mutex g_localMutex;
std::shared_ptr<const TimeZone> g_local;

std::string systemZoneName()
{
    if (const char* tz = std::getenv("TZ"); tz && *tz)
        return *tz == ':' ? tz + 1 : tz;
    std::error_code ec;
    std::string target = std::filesystem::read_symlink("/etc/localtime", ec).string();
    size_t at = ec ? std::string::npos : target.find("zoneinfo/");
    return at == std::string::npos ? "UTC" : target.substr(at + 9);
}

}

std::shared_ptr<const TimeZone> TimeZone::utc()
{
    // Never destroyed, as the loaded zones below: workers read dates while the process ends.
    static const auto& zone = *new std::shared_ptr<const TimeZone>(new TimeZone("UTC"));
    return zone;
}

std::shared_ptr<const TimeZone> TimeZone::named(const std::string& name)
{
    if (name == "UTC" || name == "GMT")
        return utc();
    if (name.empty() || name.front() == '/' || name.find("..") != std::string::npos)
        return nullptr;
    static auto& mutex = *new std::mutex;
    static auto& loaded = *new std::map<std::string, std::shared_ptr<const TimeZone>>;
    std::lock_guard lock(mutex);
    auto& zone = loaded[name];
    if (!zone)
        zone = load(name, kZoneFolder + name);
    return zone;
}

std::shared_ptr<const TimeZone> TimeZone::load(const std::string& name, const std::string& path)
{
    auto data = FileManager::read(path);
    // The header: "TZif", a version, 15 reserved bytes, six counts.
    if (!data || data->size() < 44 || std::string(data->begin(), data->begin() + 4) != "TZif")
        return nullptr;
    auto counts = [&](size_t header, size_t index) { return static_cast<size_t>(readBig(*data, header + 20 + 4 * index, 4)); };
    size_t header = 0;
    int timeWidth = 4;
    auto blockSize = [&](size_t h, int width) {
        return counts(h, 3) * static_cast<size_t>(width) + counts(h, 3) + counts(h, 4) * 6 + counts(h, 5)
            + counts(h, 2) * static_cast<size_t>(width + 4) + counts(h, 1) + counts(h, 0);
    };
    if ((*data)[4] >= '2') {
        // The 64-bit block follows the 32-bit one.
        size_t second = 44 + blockSize(0, 4);
        if (second + 44 > data->size())
            return nullptr;
        header = second;
        timeWidth = 8;
    }
    size_t timeCount = counts(header, 3), typeCount = counts(header, 4);
    size_t at = header + 44;
    if (typeCount == 0 || at + blockSize(header, timeWidth) > data->size())
        return nullptr;
    std::shared_ptr<TimeZone> zone(new TimeZone(name));
    for (size_t i = 0; i < timeCount; ++i) {
        auto raw = readBig(*data, at + i * static_cast<size_t>(timeWidth), timeWidth);
        zone->m_transitions.push_back(timeWidth == 8 ? static_cast<std::int64_t>(raw) : static_cast<std::int32_t>(raw));
    }
    at += timeCount * static_cast<size_t>(timeWidth);
    for (size_t i = 0; i < timeCount; ++i) {
        std::uint8_t type = (*data)[at + i];
        if (type >= typeCount)
            return nullptr;
        zone->m_typeOfTransition.push_back(type);
    }
    at += timeCount;
    for (size_t i = 0; i < typeCount; ++i)
        zone->m_offsets.push_back(static_cast<std::int32_t>(readBig(*data, at + i * 6, 4)));
    return zone;
}

long TimeZone::offsetAt(std::int64_t t) const
{
    if (m_offsets.empty())
        return 0;
    if (m_transitions.empty() || t < m_transitions.front())
        return m_offsets.front();
    if (t > m_transitions.back() && m_transitions.back() > kRulesStillRunning && m_transitions.back() - m_transitions.front() > kCalendarCycle)
        t -= ((t - m_transitions.back()) / kCalendarCycle + 1) * kCalendarCycle;
    auto it = std::upper_bound(m_transitions.begin(), m_transitions.end(), t);
    size_t index = static_cast<size_t>(it - m_transitions.begin()) - 1;
    return m_offsets[m_typeOfTransition[index]];
}

std::shared_ptr<const TimeZone> TimeZone::local()
{
    std::lock_guard lock(g_localMutex);
    if (!g_local) {
        g_local = named(systemZoneName());
        if (!g_local)
            g_local = utc();
    }
    return g_local;
}

void TimeZone::setLocal(std::shared_ptr<const TimeZone> zone)
{
    std::lock_guard lock(g_localMutex);
    g_local = zone ? std::move(zone) : utc();
}

}
