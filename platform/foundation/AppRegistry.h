#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pf {

class Url;

// The other apps installed on the (simulated) device, found by URL scheme. Tests and the
// simulator install stand-ins for the vendor apps.
//
// Rules:
// - Schemes compare without regard to case.
// - `canOpenURL` is true for a scheme of an installed app, of the running app itself
//   (its "CFBundleURLTypes") or of the system ("http", "https", "itms-services").
// - `openURL` records the URL with the opening app's identifier and answers whether some app
//   takes it (or the forced answer, when set). The receiving app gets it later on the main
//   run loop, never inside the call: an installed stand-in through its handler, the running
//   app through its application delegate.
// - Both calls are recorded for tests.
class AppRegistry {
public:
    using OpenHandler = std::function<void(const Url& url, const std::string& sourceApplication)>;

    struct App {
        std::string bundleIdentifier;
        std::vector<std::string> schemes;
        OpenHandler onOpenURL; // may be empty
    };

    struct OpenedUrl {
        std::string url;
        std::string sourceApplication;
    };

    static AppRegistry& shared();

    // Replaces an app of the same identifier.
    void install(App app);
    void uninstall(const std::string& bundleIdentifier);
    bool isInstalled(const std::string& bundleIdentifier) const;
    void removeAll(); // also the records and the forced answer

    bool canOpenURL(const Url& url);
    bool openURL(const Url& url, const std::string& sourceApplication);
    void setForcedOpenResult(std::optional<bool> result);

    std::vector<OpenedUrl> openedURLs() const;
    std::vector<std::string> queriedURLs() const;
    void clearRecords();

private:
    enum class Target { None, System, Self, Installed };
    Target targetFor(const std::string& scheme, App* app) const; // with m_mutex held

    mutable std::mutex m_mutex;
    std::vector<App> m_apps;
    std::vector<OpenedUrl> m_opened;
    std::vector<std::string> m_queried;
    std::optional<bool> m_forced;
};

}
