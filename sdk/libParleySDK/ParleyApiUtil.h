#pragma once

#include "platform/foundation/PropertyListCheck.h"
#include "platform/foundation/Value.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace parley {

// Probes, addresses and property-list coding shared by the Parley exchange.
//
// Rules:
// - The system version and screen scale are read from the device at each call.
// - Data read from a pasteboard is never trusted: more than kMaxPasteboardBytes, or anything
//   the property-list reader refuses, decodes to nothing.
class ParleyApiUtil {
public:
    // Room for the largest file a message may carry plus the rest of its record.
    static constexpr size_t kMaxPasteboardBytes = 12u << 20;

    static bool isSystem7plus();
    static bool is2xScreen();

    // `lone` Replace for what another app wrote that is read and never written back (its
    // reply): a lone UTF-16 surrogate then reads as U+FFFD rather than refusing the list.
    static std::optional<pf::Value> propertyListFromData(const std::optional<pf::Bytes>& data,
        pf::LoneSurrogates lone = pf::LoneSurrogates::Damage);
    // For a list of separate records (the registry): a record that does not read is left out
    // and counted in `leftOut` (see `pf::PropertyList::parseEntries`).
    static std::optional<pf::Value> propertyListEntriesFromData(const std::optional<pf::Bytes>& data, size_t* leftOut);
    static std::optional<pf::Bytes> dataFromPropertyList(const pf::Value& list);

    // "parleyim://app/<id>/", optionally followed by `extra`.
    static std::string getParleyUrl(const std::string& appID);
    static std::string getParleyUrl(const std::string& appID, const std::string& extra);
    // "<id>://": what every address from Parley to this app begins with.
    static std::string getAppUrl(const std::string& appID);
    static std::string getAppUrlWithPlatformId(const std::string& appID);
    static bool isAppOpenUrl(const std::string& url, const std::string& appID);
    static bool isAppInstalled(const std::string& appID);
    static bool launchApp(const std::string& appID);
    // Whether the installed Parley app takes messages from this interface.
    static bool isPXAppSupportApi();
    // The interface version the installed Parley app supports; empty without one.
    static std::string getSDKVersion();

    // Opening and probing an address text (false when it is no legal URL).
    static bool openURL(const std::string& url);
    static bool canOpenURL(const std::string& url);

    // A URL argument: UTF-8, escaped where a URL needs it, ";/?:@=&$-_.+!*'(),%" left as they are.
    static std::string gtm_stringByEscapingForURLArgumentOnly(std::string_view text);
    // A value written by a script and then form-encoded: "+" is a blank, "\X" (or "\x") stands
    // for "%", then the escapes are removed; none when they do not form UTF-8.
    static std::optional<std::string> gtm_stringByEncodeByJsonAndUrlEncode(std::string_view text);
};

}
