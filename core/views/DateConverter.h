#pragma once

#include <string>

// Prints portal times (seconds since 1970) in the device's time zone, two digits for month,
// day, hour (0-23) and minute. A time that is not a number or lies absurdly far from now
// prints as the empty text (see pf::DateFormatter).
class DateConverter {
public:
    // "2014-05-01 09:30"
    static std::string dateFromUNIXTime(double seconds);
    // "05月01日"
    static std::string date1FromUNIXTime(double seconds);
    // "2014-05-01"
    static std::string date2FromUNIXTime(double seconds);
};
