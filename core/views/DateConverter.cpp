#include "core/views/DateConverter.h"

#include "platform/foundation/DateFormatter.h"

#include <cmath>

namespace {

// Server times are whole seconds of this era; anything beyond a few hundred thousand years (or
// not a number) is garbage and prints as nothing rather than overflowing the calendar.
constexpr double kLimit = 1e13;

std::string format(const char* pattern, double seconds)
{
    if (!std::isfinite(seconds) || std::fabs(seconds) > kLimit)
        return {};
    return pf::DateFormatter(pattern).string(seconds);
}

}

std::string DateConverter::dateFromUNIXTime(double seconds)
{
    return format("yyyy-MM-dd HH:mm", seconds);
}

std::string DateConverter::date1FromUNIXTime(double seconds)
{
    return format("MM月dd日", seconds);
}

std::string DateConverter::date2FromUNIXTime(double seconds)
{
    return format("yyyy-MM-dd", seconds);
}
