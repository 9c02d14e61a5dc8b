#pragma once

#include <string>

namespace pf {
class Url;
}

// Which LM and LZone apps the device has and what they can do, asked through the launch schemes
// each of their versions registers; and whether the device opens an address at all.
//
// Rules:
// - A version is the newest one whose scheme the device opens; 0 when none is there.
// - Nothing is kept: every answer is asked afresh, so an app installed or removed meanwhile counts.
class MorrowAppVersions {
public:
    // 3 from "mlmopensdkapiV2", 2 from "mlmOpensdkSSoLogin", 1 from "mlm".
    static int lmVersion();
    // 5 from "mlzoneopensdkapiV2", 4 "mlzoneopensdkapi19", 3 "mlzoneopensdkapi", 2 "mlzoneopensdk",
    // 1 "mlzone".
    static int lzoneVersion();
    static bool isLZoneInstalled();
    // Whether the app reads a request from the general pasteboard.
    static bool isSupportGeneralPastboard();
    static bool isLZoneSupportGeneralPastboard();

    // Whether the device can open the address.
    static bool canParseURL(const pf::Url& url);
    static bool canParseApplicationUrlStr(const std::string& text);

    static std::string getLZoneInstallUrl() { return ""; }
    static std::string getSupportingMaxApiVersion() { return "10.0"; }
    static std::string getApiVersion() { return "1.1"; }
};
