#pragma once

#include <string>

// The device id and hardware address the statistics report, kept in the keychain (each item's
// service and account are its name; its data a keyed archive of the text) so they outlive the
// app's own files. An item that is missing or cannot be read as a non-empty text is replaced
// by a fresh value, which is answered even when it cannot be stored.
class TalmerinUDID {
public:
    static constexpr const char* kDeviceIdItem = "talmerinopenudid";
    static constexpr const char* kMacAddressItem = "talmerinsdkmacaddress";

    static std::string value();
    static std::string macAddress();
};
