#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pf {

// A named time zone read from the system's zone files (/usr/share/zoneinfo): its offset from
// UTC at any moment. Immutable once loaded, so any thread may use it; nothing reads or
// changes the process environment.
//
// Rules:
// - Moments before the first recorded change use the zone's first offset. Moments after the
//   last one keep its offset, except in zones whose yearly rules run to the files' horizon:
//   there the last recorded 28 years (the calendar's weekday cycle) repeat.
// - A name that is not a zone file (or tries to leave the zone folder) loads nothing.
class TimeZone {
public:
    static std::shared_ptr<const TimeZone> named(const std::string& name);
    static std::shared_ptr<const TimeZone> utc();

    const std::string& name() const { return m_name; }
    // Seconds east of UTC at `secondsSince1970`.
    long offsetAt(std::int64_t secondsSince1970) const;

    // The process's local zone (DateFormatter uses it): initially the system's.
    static std::shared_ptr<const TimeZone> local();
    static void setLocal(std::shared_ptr<const TimeZone> zone);

private:
    explicit TimeZone(std::string name) : m_name(std::move(name)) { }
    static std::shared_ptr<const TimeZone> load(const std::string& name, const std::string& path);

    std::string m_name;
    std::vector<std::int64_t> m_transitions;
    std::vector<std::uint8_t> m_typeOfTransition;
    std::vector<long> m_offsets; // by type
};

}
