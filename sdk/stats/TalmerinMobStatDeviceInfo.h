#pragma once

#include <string>

// The device facts of the statistics log's header.
class TalmerinMobStatDeviceInfo {
public:
    // The device's hardware address ("XX:XX:XX:XX:XX:XX"); "" when it has none.
    static std::string getMacAddress();
    // Mobile country code followed by the network code; "" without a network code.
    static std::string getNOP();
    // The screen's size in pixels.
    static int screenPixelWidth();
    static int screenPixelHeight();
    // "CFBundleVersion" of the main bundle; "" when it is not a text.
    static std::string getBundleVersion();
    // "wifi" when the internet is reached over Wi-Fi, else "".
    static std::string getInternetConnection();
    // The hardware model ("hw.machine").
    static std::string platform();
};
