#pragma once

#include <cstdint>
#include <string>

// The device's user record: its type bits (2 = a new day or a new version since the last
// mark) and when they last changed.
struct MRA4LCUser {
    std::string uid;
    std::int32_t userType { 0 };
    std::string appVer;
    std::uint32_t tagTime { 0 };
};
