#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>

namespace blip {

// The record of an app that talks to Blip: its name, app key, bundle identifier and icon.
class BlipSDK3rdApp {
public:
    std::optional<std::string> name;
    std::optional<std::string> appKey;
    std::optional<std::string> bundleID;
    std::optional<pf::Bytes> iconData;

    // This app, with the registered key, made anew at each call.
    static std::shared_ptr<BlipSDK3rdApp> currentApp();

    static std::string callbackSchemePrefix() { return "bp"; }
    static std::string callbackSchemeWithAppKey(const std::string& appKey) { return "bp" + appKey + "://"; }
    std::string callbackScheme() const { return callbackSchemeWithAppKey(appKey.value_or("")); }
    bool isAppInstalled() const;

    // Equal when both app keys and both bundle identifiers are set and the same.
    bool isEqual(const BlipSDK3rdApp& other) const;

    // Keys "name", "appKey", "bundleID", "iconData", each only when set.
    static pf::Dictionary dictionaryWithApp(const BlipSDK3rdApp& app);
    // Values of the wrong type are left out.
    static std::shared_ptr<BlipSDK3rdApp> appWithDictionary(const pf::Dictionary& dictionary);
};

}
