#pragma once

#include <optional>
#include <string>

// The device and application values every statistics event carries; filled once.
struct MRA4LCEnv {
    std::string timezone;
    std::string os_version;
    std::string app_version;
    std::string language;
    std::string resolution;
    std::optional<std::string> mccmnc;
    std::string devicename; // hardware model name
    std::string modulename; // device model
    bool jailbroken { false };
    std::string deviceid;
    std::optional<std::string> ifv; // upper-case UUID
    std::string platform { "ios" };
    std::string sdk_version { "0.5.5" };
    std::optional<std::string> ifa;
};
