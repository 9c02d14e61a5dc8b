#include "platform/foundation/DateFormatter.h"

#include "platform/foundation/TimeZone.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace pf {

namespace {

std::string pad(long value, int width)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*ld", width, value);
    return buffer;
}

}

std::optional<DateFormatter::Fields> DateFormatter::localFields(double t)
{
    if (!std::isfinite(t) || std::fabs(t) > kMaxSeconds)
        return std::nullopt;
    double whole = std::floor(t);
    auto seconds = static_cast<std::int64_t>(whole);
    // The zone's offset, then a plain UTC breakdown: no thread reads or changes the
    // environment's time zone.
    long offset = TimeZone::local()->offsetAt(seconds);
    auto shifted = static_cast<time_t>(seconds + offset);
    std::tm tm {};
    if (!gmtime_r(&shifted, &tm))
        return std::nullopt;
    Fields f {};
    f.year = tm.tm_year + 1900;
    f.month = tm.tm_mon + 1;
    f.day = tm.tm_mday;
    f.hour = tm.tm_hour;
    f.minute = tm.tm_min;
    f.second = tm.tm_sec;
    f.millisecond = static_cast<int>(std::floor((t - whole) * 1000.0 + 1e-6));
    f.dayOfYear = tm.tm_yday + 1;
    f.weekday = tm.tm_wday;
    f.offsetSeconds = offset;
    return f;
}

std::string DateFormatter::string(double t) const
{
    auto fields = localFields(t);
    if (!fields)
        return {};
    const Fields& f = *fields;
    std::string out;
    const std::string& p = m_pattern;
    for (size_t i = 0; i < p.size();) {
        char c = p[i];
        if (c == '\'') {
            // Quoted literal; '' is a single quote.
            if (i + 1 < p.size() && p[i + 1] == '\'') {
                out += '\'';
                i += 2;
                continue;
            }
            size_t end = i + 1;
            while (end < p.size()) {
                if (p[end] == '\'' && end + 1 < p.size() && p[end + 1] == '\'') {
                    out += '\'';
                    end += 2;
                    continue;
                }
                if (p[end] == '\'')
                    break;
                out += p[end++];
            }
            i = end + 1;
            continue;
        }
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
            out += c;
            ++i;
            continue;
        }
        size_t n = 1;
        while (i + n < p.size() && p[i + n] == c)
            ++n;
        int width = static_cast<int>(n);
        switch (c) {
        case 'y': out += n == 2 ? pad(f.year % 100, 2) : pad(f.year, width); break;
        case 'M': out += pad(f.month, width); break;
        case 'd': out += pad(f.day, width); break;
        case 'H': out += pad(f.hour, width); break;
        case 'h': out += pad(f.hour % 12 == 0 ? 12 : f.hour % 12, width); break;
        case 'm': out += pad(f.minute, width); break;
        case 's': out += pad(f.second, width); break;
        case 'S': out += pad(f.millisecond, 3).substr(0, n); break;
        case 'a': out += f.hour < 12 ? "AM" : "PM"; break;
        case 'D': out += pad(f.dayOfYear, width); break;
        case 'Z': {
            long off = f.offsetSeconds;
            out += off < 0 ? '-' : '+';
            off = std::labs(off);
            out += pad(off / 3600, 2) + pad((off % 3600) / 60, 2);
            break;
        }
        default: out.append(n, c); break; // unknown letters are kept as they are
        }
        i += n;
    }
    return out;
}

void DateFormatter::setLocalTimeZone(const std::string& name)
{
    TimeZone::setLocal(TimeZone::named(name)); // an unknown name means UTC, as the C library did
}

std::string DateFormatter::localTimeZoneName()
{
    return TimeZone::local()->name();
}

}
