#pragma once

#include "platform/foundation/HostTable.h"
#include "platform/foundation/TextEncoding.h"
#include "platform/foundation/Value.h"
#include "sdk/libBlipSDK/BlipSDKDelegate.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pf {
class Pasteboard;
class Url;
}

namespace blip {

class BPAuthorizeResponse;
class BPAuthorizeWebView;
class BPBaseRequest;
class BPBaseResponse;
class BPDataTransferObject;
class BPHttpRequestDelegate;
class BlipSDK3rdApp;

// The app's way to the Blip app on the same device: registration, sending a request or a
// response (staged on pasteboards, then Blip is opened), and taking Blip's answers through the
// app's scheme "bp<app key>". Without a Blip app that takes this interface, an authorisation
// runs in a web page and other requests end in an install prompt or a -99 reply, delivered to
// the app in-process through its application delegate with the source "com.sable.blip".
//
// Rules:
// - Main thread only; the registered key, the request userInfo cache and the debug flag are
//   kept for the process. An empty key counts as none.
// - Before system 7 each transfer has a named pasteboard; from 7 on every transfer shares the
//   general pasteboard, so staging replaces its items and removing empties it.
// - A received response is read whole and its pasteboards are removed before the delegate
//   hears of it, so whatever the delegate stages in that call survives.
// - Blip's addresses are its `pf::HostTable` (`hosts`); the defaults are unreachable
//   placeholders. The three servers live under "blip" of the local vendor-services server; the
//   two store pages stay where they are.
class BlipSDK {
public:
    static constexpr const char* kSDKVersion = "2.4";
    static constexpr const char* kBlipBundleIdentifier = "com.sable.blip";
    static constexpr const char* kHashKey = "c83f1a6e04d9b72e5f10a8c3d64e9b27";

    // The names in `hosts`; the servers' addresses have no "/" at their end.
    static constexpr const char* kWebAuthorizeHost = "webAuthorize"; // the authorisation page
    static constexpr const char* kApiHost = "api";                   // token revocation
    static constexpr const char* kMobileApiHost = "mobileApi";       // invitations
    static constexpr const char* kDownloadPage = "downloadPage";
    static constexpr const char* kAppStorePage = "appStorePage";
    static pf::HostTable& hosts();

    static bool registerApp(const std::string& appKey) { return registerAppWithAppKey(appKey); }
    static bool registerAppWithAppKey(const std::string& appKey);
    static bool registerAppWithApp(const BlipSDK3rdApp& app);
    static bool unregisterApp() { return true; }
    static void enableDebugMode(bool enabled);
    static bool isDebugModeEnabled();

    static bool sendRequest(const std::shared_ptr<BPBaseRequest>& request);
    static bool sendResponse(const std::shared_ptr<BPBaseResponse>& response);
    static bool openAppWithTransferObject(const std::shared_ptr<BPDataTransferObject>& object);
    static bool handleOpenURL(const pf::Url& url, const std::shared_ptr<BlipSDKDelegate>& delegate);
    static void didReceiveUnSupportedRequest(const std::shared_ptr<BPBaseRequest>& request);
    static void didReceiveUnSupportedResponse(const std::shared_ptr<BPBaseResponse>&) { }
    // Stages `response` and delivers it to this app in-process. An authorisation that cannot be
    // staged (a text the archive refuses) is answered as failed (-3), with nothing of the page.
    static void directlySendResponseToCurrentApp(const std::shared_ptr<BPBaseResponse>& response);
    static void didReceiveAuthorizeResponseFromAuthorizeWebView(const std::shared_ptr<BPAuthorizeResponse>& response,
        BPAuthorizeWebView& webView);

    static bool isBlipAppInstalled();
    // "2.4" when Blip takes this interface, "1.0" when only an older Blip is there, else none.
    static std::optional<std::string> getBlipAppSupportMaxSDKVersion();
    static bool openBlipApp();
    static std::string getBlipAppInstallUrl() { return hosts().address(kAppStorePage); }
    static std::string getSDKVersion() { return kSDKVersion; }
    static std::string hashKey() { return kHashKey; }
    static std::string webAuthorizeHost() { return hosts().address(kWebAuthorizeHost); }
    static std::string webAuthorizeURL() { return webAuthorizeHost() + "/oauth2/authorize"; }
    static std::string registedAppsPasteboardName() { return "blipsdk_registed_apps"; }
    static std::string callbackSchemePrefix();
    static std::optional<std::string> registeredAppKey();

    static bool canAccessPrivatePasteboard();
    static std::shared_ptr<pf::Pasteboard> pasteboardWithName(const std::string& name, bool create);
    static void removePasteboardWithName(const std::string& name);
    // The request userInfo kept for answers read from system 7 on; taking it forgets it.
    static std::optional<pf::Dictionary> takeCachedRequestUserInfo(const std::string& requestID);
    static size_t cachedRequestUserInfoCount();

    // One query value: the first "name=" (any case) that starts the text or follows "?", "&"
    // or "#"; up to the next "&" or "#"; unescaped (none when not UTF-8).
    static std::optional<std::string> queryValueWithName(const std::string& name, const std::string& urlString);
    // Every piece between "&" and ";" with exactly one "=" as a pair, name and value unescaped
    // in `encoding`; a pair with an escape that is no text in it is skipped, a later name
    // replaces an earlier one. Bounded as `pf::QueryString` is.
    static std::map<std::string, std::string> queryDictionaryOfURLQueryUsingEncoding(const std::string& query,
        pf::TextEncoding::Charset encoding);
    // The address with the parameters added to its query (values escaped), fragment kept.
    static std::string serializeURLStringWithParams(const std::string& base,
        const std::vector<std::pair<std::string, std::string>>& params);

    static void logOutWithToken(const std::string& token, const std::weak_ptr<BPHttpRequestDelegate>& delegate,
        const std::string& tag);
    static void inviteFriend(const std::string& data, const std::string& uid, const std::string& token,
        const std::weak_ptr<BPHttpRequestDelegate>& delegate, const std::string& tag);

    // A line in the system log while the debug mode is on.
    static void debugLog(const std::string& text);
    // A new launch (`pf::ResetRegistry`) forgets the registration, the cache and the debug mode,
    // and the hosts go back to their defaults.

private:
    static std::optional<std::string> deprecatedBlipAppSupportMaxSDKVersion();
    static bool canOpen(const std::string& url);
};

}
