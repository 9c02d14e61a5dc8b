#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pf {
class Url;
}

namespace peers {

// A stand-in for the Blip app on the simulated device ("com.sable.blip"). The current app owns
// "sableblip" and "blipsdk" and takes transfers: it reads the items staged for it (general
// pasteboard from system 7, "blipsdk_<type>_<MD5>" before), checks them against the app's
// registration, keeps what it read, and answers authorisations and shares through
// "bp<app key>://response?id=...". An old app owns "sableblip" alone and takes nothing.
class BlipApp : public std::enable_shared_from_this<BlipApp> {
public:
    static constexpr const char* kBundleIdentifier = "com.sable.blip";
    static constexpr const char* kSdkVersion = "2.4";

    enum class Version { Current, Legacy };

    struct Received {
        std::string url;
        std::string type; // "request" or "response"
        std::string id;
        std::optional<pf::Dictionary> object; // the "transferObject" dictionary
        std::optional<pf::Dictionary> userInfo;
        std::optional<pf::Dictionary> app;
        std::optional<std::string> sdkVersion;
        std::vector<std::string> itemOrder; // the item types, in order
        std::vector<std::string> problems;
    };

    // How the next requests are answered (none: not at all).
    struct Answer {
        long long statusCode { 0 };
        std::string userID { "1900001234" };
        std::string accessToken { "blip-access-token" };
        double expiresIn { 3600 };
    };

    static std::shared_ptr<BlipApp> install(Version version = Version::Current);
    void uninstall();

    std::vector<Received> received() const;
    void setAnswer(std::optional<Answer> answer);
    // The registered apps in pasteboard order: app key and the app's dictionary.
    static std::vector<std::pair<std::string, pf::Dictionary>> registeredApps();

    // Stages a transfer for an app and opens "bp<key>://<type>?id=<id>&sdkversion=2.4".
    static void sendToApp(const std::string& appKey, const std::string& type, const std::string& id,
        const pf::Dictionary& object, const std::optional<pf::Dictionary>& userInfo);
    static std::string pasteboardName(const std::string& type, const std::string& id);

private:
    void opened(const pf::Url& url);

    mutable std::mutex m_mutex;
    std::vector<Received> m_received;
    std::optional<Answer> m_answer { Answer {} };
};

}
