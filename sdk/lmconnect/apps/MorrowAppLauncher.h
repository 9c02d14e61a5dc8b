#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class MorrowJSObject;

// Opens the LM and LZone apps for the sign-in hand-off and the LZone commands: the request is
// written where the installed version reads it (`MorrowAppPasteboard`), and the launch address
// names that place, the command and the scheme the app answers on.
//
// Rules:
// - Nothing is opened before the app registered its reply scheme ("morrow<app id>") among its
//   URL types, nor for a version of the app too old for the command.
// - Addresses are escaped as legacy addresses before they are opened.
// - Main thread only. The reply scheme is kept for the process; a new launch forgets it.
class MorrowAppLauncher {
public:
    static constexpr const char* kLMScheme = "mlmOpensdkSSoLogin";
    static constexpr const char* kLMHost = "SSoLogin";
    static constexpr const char* kLZoneScheme = "mlzoneopensdkapi";
    static constexpr const char* kLZoneHost = "lzapp";

    // The scheme the apps answer on; "" before the app registered.
    static const std::string& appSchema();
    static void setAppSchema(std::string schema);

    // The sign-in request (command 0) to LM from version 2 on.
    static bool openLMWithCommand(unsigned command, const pf::Dictionary& data);
    // A command to LZone from version 3 on.
    static bool openLZoneWithCommandStr(const std::string& command, const pf::Dictionary& data);
    static bool openLZoneWithCommand(unsigned command, const pf::Dictionary& data);
    static bool sendCommandToLZoneParams(const std::string& command, const pf::Dictionary& params);
    // A story share: command 1.
    static bool shareWithLZoneWithData(const pf::Dictionary& data);
    // Opens LZone's plain entry "mlzoneopensdk://lzapp/<reply scheme>/"; false when LZone is missing.
    static bool openLZone();
    // Archives onto the general pasteboard under "com.morrow." and the reply scheme.
    static std::optional<std::string> saveDictionaryByGeneralPastboard(const pf::Dictionary& dict);

    // Sign-in with the app the caller describes: "permission", "appid", "ResponseType" make the
    // request; "LMApiScheme"/"LZoneApiScheme" and "LMHost"/"LZoneHost" address the app and
    // "appScheme" names the reply scheme. "true" when the app was opened.
    static std::string sendCommandToLMWith(const pf::Value& params);
    static std::string sendCommandToLZoneWith(const pf::Value& params);

    // The script-built request: "scope", "app_id", "client_id", "app_name", "response_type",
    // "jsVersion", "bundleId" (those present), then the SDK information.
    static pf::Dictionary scriptRequestDictionary(const pf::Value& params);

    // The script object "openapi": the request written and an address opened on the scripts'
    // behalf, and what they need to know to build them.
    static std::shared_ptr<MorrowJSObject> openapiObject();

    // Opens the address `format` makes, each "%@" replaced by the next of `values`.
    static bool launch(const std::string& format, const std::vector<std::string>& values);
};
