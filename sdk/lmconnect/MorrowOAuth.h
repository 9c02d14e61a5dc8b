#pragma once

#include "sdk/lmconnect/MorrowJSRunEnvDelegate.h"
#include "sdk/lmconnect/MorrowSessionDelegate.h"
#include "sdk/lmconnect/openapi/MorrowSession.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pf {
class Url;
}
class JsUpdateManager;
class MROSDKJSBridge;
class MorrowJSObject;
class MorrowScriptServices;
class MorrowWebViewHost;

// The LM Connect session: made once for the app's LM Connect id and a delegate, it runs the
// scripts that choose a sign-in route, keeps token, open id and expiry in the scripts (they are
// the keepers; native code writes and reads them there) and relays the results.
//
// Rules:
// - Values enter script text only as JSON literals. No value is written as the text "(null)",
//   and "(null)" and "" read back as absent.
// - The hidden host is rebuilt before the 11th, 21st, ... authorisation of the process, and the
//   script objects are registered again after every finished load of the host.
// - It stands as its own login delegate: a login ends in its relay, which tells the scripts
//   ("morrow.result.loginComplete") and then its delegate, once.
// - Main thread only. Its delegate is not owned.
class MorrowOAuth : public MorrowSession, public MorrowSessionDelegate, public MorrowJSRunEnvDelegate {
public:
    static constexpr const char* kUpdateBusinessId = "107";

    static std::shared_ptr<MorrowOAuth> initWithAppIdAndDelegate(const std::string& appId, std::weak_ptr<MorrowSessionDelegate> delegate);
    ~MorrowOAuth() override;

    void setSessionDelegate(std::weak_ptr<MorrowSessionDelegate> delegate);
    std::shared_ptr<MorrowSessionDelegate> sessionDelegate() const { return m_sessionDelegate.lock(); }

    bool authorizeInSafari(const std::vector<std::string>& permissions, bool inSafari);
    bool incrAuthWithPermissions(const std::vector<std::string>& permissions);
    bool reauthorizeWithPermissions(const std::vector<std::string>& permissions);
    void logout(std::weak_ptr<MorrowSessionDelegate> delegate);

    // MorrowSession: read from the scripts; "" when absent.
    std::string accessToken() const override;
    std::string openId() const override;
    std::string appId() const override { return m_appId; }
    bool isSessionValid() const override;
    bool isOpenIdValid() const override { return !openId().empty(); }
    bool morrowNeedPerformIncrAuth(const std::vector<std::string>& permissions) override;
    // Seconds since 1970; none when the scripts hold no expiry.
    std::optional<double> expirationDate() const;

    void setAccessToken(const std::optional<std::string>& token);
    void setOpenId(const std::optional<std::string>& openId);
    void setExpirationDate(const std::optional<double>& date);
    void setEncryToken(const std::optional<std::string>& token) { m_encryToken = token; }
    const std::optional<std::string>& encryToken() const { return m_encryToken; }
    const std::vector<std::string>& permissions() const { return m_permissions; }

    // Hands a reply address to the scripts; YES when they take it.
    bool handleOpenURL(const pf::Url& url);
    static bool HandleOpenURL(const pf::Url& url);
    static bool CanHandleOpenURL(const pf::Url& url);
    static bool iphoneLMInstalled();
    static bool iphoneLMSupportSSOLogin();
    static bool iphoneLZoneInstalled();
    static bool iphoneLZoneSupportSSOLogin();

    // Script functions of "oauth".
    std::optional<std::string> convertAppIdJs(const pf::Value& params) const;
    void registLMAPIWithLMAppId(const pf::Value& params) const;
    std::string authorizeInappWithParams(const pf::Value& params) const;
    std::string jsCallHandleOpenUrlByOpenApi(const pf::Value& params);
    std::string jsCallHandleOpenURLByOAuth(const pf::Value& params);

    // "a b~" -> "a+b~": form encoding of every byte but the unreserved ones.
    static std::string urlencode(const std::string& text);

    // Login relays (the session is its own login delegate).
    void morrowDidLogin() override;
    void morrowDidNotLogin(bool cancelled) override;
    void morrowDidNotNetWork() override;

    // The host's load events: the objects are registered again and the scripts initialised.
    bool shouldStartLoadWithRequest(const std::string& url, int navigationType) override { return true; }
    void webViewDidFinishLoad() override;

    // The current script host; none when the scripts could not load.
    const std::shared_ptr<MorrowWebViewHost>& scriptHost() const { return m_webView; }
    const std::shared_ptr<JsUpdateManager>& jsUpdateManager() const { return m_jsUpdateManager; }
    // Authorisations since the host was last built, for the whole process.
    static int authorizationCount();
    static void resetAuthorizationCount();

private:
    MorrowOAuth() = default;
    void initialise(const std::string& appId, std::weak_ptr<MorrowSessionDelegate> delegate);
    void initWithJsSDK();
    void jsRegister();
    void runInit();
    std::string evaluate(const std::string& script) const;
    std::optional<std::string> readScriptText(const char* variable) const;
    std::shared_ptr<MorrowJSObject> oauthObject();

    std::string m_appId;
    std::weak_ptr<MorrowSessionDelegate> m_sessionDelegate;
    std::vector<std::string> m_permissions;
    std::optional<std::string> m_openIdField;
    std::optional<std::string> m_accessTokenField;
    std::optional<double> m_expirationField;
    std::optional<std::string> m_encryToken;
    std::shared_ptr<JsUpdateManager> m_jsUpdateManager;
    std::shared_ptr<MorrowWebViewHost> m_webView;
    std::shared_ptr<MROSDKJSBridge> m_bridge;
    std::shared_ptr<MorrowScriptServices> m_services;
};
