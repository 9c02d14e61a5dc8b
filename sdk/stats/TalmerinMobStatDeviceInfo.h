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
    struct Resolution {
        int width { 0 };
        int height { 0 };
        bool operator==(const Resolution&) const = default;
    };
    static Resolution getScreenResolution() { return { screenPixelWidth(), screenPixelHeight() }; }
    // "CFBundleVersion" of the main bundle; "" when it is not a text.
    static std::string getBundleVersion();
    // "wifi" when the internet is reached over Wi-Fi, else "".
    static std::string getInternetConnection();
    // The hardware model ("hw.machine").
    static std::string platform();

    // Not used by the log.
    // "CFBundleIdentifier" of the main bundle.
    static std::string getBundleIdentifier();
    // Reads the bundle's information and keeps nothing of it.
    static void printAppInfo();
    // The memory the programs of the device may use, in bytes.
    static unsigned long long memory();
    // The size of the file system of the documents folder in whole gigabytes (rounded); 0
    // when it cannot be read.
    static long long totalDiskSpace();
    // A readable name for a known hardware model ("iPhone3,1" -> "iPhone 4"); others as they are.
    static std::string modelType();
    static std::string modelTypeFor(const std::string& platform);
};
