#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pf {
class Url;
}
class LMApiAdItem;
class LMApiInterfaceDelegate;
class LMApiMessage;

// Registration of the app with the LM app, the message check of a share and the probes of
// what the installed LM app can do.
class LMApi {
public:
    static constexpr size_t kTitleLimit = 128;          // UTF-16 units
    static constexpr size_t kDescriptionLimit = 512;    // UTF-16 units
    static constexpr size_t kPreviewLimit = 1048576;    // bytes
    static constexpr size_t kUrlLimit = 512;            // characters of the address
    static constexpr size_t kDataLimit = 5242880;       // bytes of file or picture data

    static void registerLMConnectAppId(const std::string& appId);
    static void registerLMConnectOpenId(const std::string& openId);
    // Writes the app's plug-in record (the given LM scheme, the main bundle's identifier, name,
    // version and at most two icons) to the registry and keeps the scheme and name.
    static void registerPluginWithId(const std::string& scheme);

    // The share's limits; a failure is logged as "param error: ..." and answers false.
    static bool checkLMApiURLMessage(const std::shared_ptr<LMApiMessage>& message);
    // Nothing is sent this way: shares go through the scripts.
    static std::int32_t sendMessage(const std::shared_ptr<LMApiMessage>&) { return 0; }
    static std::shared_ptr<LMApiMessage> handleOpenURL(const pf::Url& url);
    static std::vector<std::shared_ptr<LMApiAdItem>> getAdItemArray();

    static bool isLMInstalled();
    static bool isLMSupportApi();
    static bool isLMSupportApiForWallet();
    static bool isLMSupportApiForWPA();
    static bool appCanOpenURL(const std::string& url);
    static std::string getLMInstallURL();
    static bool openLMApp();
    static void getLMUinOnlineStatues(const std::vector<std::string>& uins, std::weak_ptr<LMApiInterfaceDelegate> delegate);
};
