#pragma once

#include "platform/foundation/Value.h"

#include <optional>
#include <string>

namespace pf {

// Formats times (seconds since 1970) by a pattern, in the device's local time zone.
//
// Pattern letters: yyyy / yy year, MM / M month, dd / d day, HH / H hour 0-23, hh / h hour
// 1-12, mm / m minute, ss / s second, SSS milliseconds, a "AM"/"PM", D day of the year,
// Z offset "+0800"; text in single quotes is literal ('' is a quote); anything else is copied,
// Chinese included ("MM月dd日").
//
// A time that is not a number or lies more than kMaxSeconds from 1970 (some 317,000 years; no
// calendar arithmetic overflows within it) prints as the empty text.
//
// The local time zone is process-wide; `setLocalTimeZone` (tests, simulator) takes a zone
// name such as "Asia/Shanghai".
class DateFormatter {
public:
    static constexpr double kMaxSeconds = 1e13;

    explicit DateFormatter(std::string pattern = "yyyy-MM-dd HH:mm:ss")
        : m_pattern(std::move(pattern))
    {
    }

    const std::string& pattern() const { return m_pattern; }
    void setPattern(std::string pattern) { m_pattern = std::move(pattern); }

    std::string string(double secondsSince1970) const;
    std::string string(Date date) const { return string(date.secondsSince1970()); }

    // Local calendar fields of a time; nullopt for a time that prints as the empty text.
    struct Fields {
        int year, month, day, hour, minute, second, millisecond, dayOfYear, weekday; // weekday 0 = Sunday
        long offsetSeconds;                                                           // east of UTC
    };
    static std::optional<Fields> localFields(double secondsSince1970);

    static void setLocalTimeZone(const std::string& name);
    static std::string localTimeZoneName();

private:
    std::string m_pattern;
};

}
