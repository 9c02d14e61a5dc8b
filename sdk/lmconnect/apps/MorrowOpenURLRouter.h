#pragma once

#include <functional>
#include <string>

namespace pf {
class Url;
}

// Where the application sends an address another app opened it with, by the opening app.
// The LM app's addresses go to the LM Connect session; the LZone app's only when they are LM
// Connect replies ("morrow<app id>://lzapp/...") or Morrow API messages; the LM browsers' only
// when they are on the app's reply scheme (the web sign-in's answers); the Blip app's to the
// Blip handler the application gives; every other source is refused.
class MorrowOpenURLRouter {
public:
    static constexpr const char* kLMBundleIdentifier = "com.morrow.mlm";
    static constexpr const char* kLZoneBundleIdentifier = "com.morrow.lzone";
    static constexpr const char* kBlipBundleIdentifier = "com.sable.blip";
    static constexpr const char* kLMBrowserBundleIdentifier = "com.morrow.mlmbrowser";
    static constexpr const char* kOldLMBrowserBundleIdentifier = "com.morrow.mlbbrowser";

    using Handler = std::function<bool(const pf::Url&)>;
    static bool route(const pf::Url& url, const std::string& sourceApplication, const Handler& blip = {});
};
