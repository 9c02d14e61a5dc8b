#pragma once

#include <memory>
#include <optional>
#include <string>

namespace pf {
class Url;
}
class MorrowApiInterfaceDelegate;
class MorrowApiResp;

// The Morrow API channel: a vendor app asks something of the application by opening
// "<scheme of the morrowApiIdentifier type>://kTecentReqContent/kMorrowReqContent?..." with a
// request staged on the general pasteboard; the application answers LZone the same way.
//
// Rules:
// - A request is read once. When the delegate refuses it, a response with -1 is sent.
// - A response address received is refused (NO).
// - Every message, whatever its kind, is checked against its limits before a response is sent;
//   an archive over 10,485,760 bytes is not sent.
// - Main thread only; no state between calls.
class MorrowApiInterface {
public:
    static constexpr size_t kMaxArchiveBytes = 10485760;

    static bool canOpenURL(const pf::Url& url);
    static bool handleOpenURL(const pf::Url& url, const std::shared_ptr<MorrowApiInterfaceDelegate>& delegate);
    // -1 no response, 0 sent (or not for LZone: nothing to send), 1 LZone missing, 2 LZone too
    // old, 3 invalid or too large, 4 not opened.
    static int sendRespMessageToMorrowApp(const std::shared_ptr<MorrowApiResp>& resp);
    // App type 0 LM, 1 LZone.
    static bool isMorrowAppInstall(int appType);
    static bool isMorrowAppSupportMorrowApi(int appType);
    static bool installIphoneLZone() { return isMorrowAppInstall(1); }
    static bool iphoneLZoneSupportApi() { return isMorrowAppSupportMorrowApi(1); }
    // Answers to other apps are not sent from here: always 2.
    static int sendRespMessaageToThirdAppAppId(const std::shared_ptr<MorrowApiResp>& resp, const std::string& appId) { return 2; }
    // No install address is known: always none.
    static std::optional<std::string> getMorrowAppInstallUrl(int appType) { return std::nullopt; }
    // Opens "morrow<app id>.content://".
    static bool openThirdApp(const std::string& appId);
    // Keeps the app id in the shared data centre.
    static void registApp(const std::string& appId);
};
