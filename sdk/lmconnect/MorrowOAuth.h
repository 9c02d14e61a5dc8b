#pragma once

#include "sdk/lmconnect/host/MorrowJSRunEnvDelegate.h"
#include "sdk/lmconnect/apps/MorrowSessionDelegate.h"
#include "sdk/lmconnect/apps/OpenApiDelegate.h"
#include "sdk/lmconnect/dialogs/MorrowDialogsDelegate.h"
#include "sdk/lmconnect/openapi/APIBaseDelegate.h"
#include "sdk/lmconnect/openapi/MorrowRequestDelegate.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace pf {
class Image;
class Url;
class ViewController;
}
class JsUpdateManager;
class MorrowApiResp;
class MROSDKJSBridge;
class MorrowJSObject;
class MorrowScriptServices;
class MorrowAvatar;
class MorrowDialogs;
class MorrowWebLogin;
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
// - On system 4 the objects come only with the host's own first page, which loads after the
//   session is made: an authorisation asked for before then waits for it and runs once the
//   objects are there (the last one asked for, once).
// - It stands as its own login delegate: a login ends in its relay, which tells the scripts
//   ("morrow.result.loginComplete") and then its delegate, once.
// - Re-authorisation questions reach the delegate only when it answers them and says it hears
//   `morrowDidUpdate`; otherwise the session answers YES itself.
// - Main thread only. Its delegate is not owned.
class MorrowOAuth : public MorrowDialogsDelegate, public MorrowSessionDelegate, public MorrowJSRunEnvDelegate, public MorrowRequestDelegate,
                    public APIBaseDelegate, public OpenApiDelegate {
public:
    static constexpr const char* kUpdateBusinessId = "107";

    static std::shared_ptr<MorrowOAuth> initWithAppIdAndDelegate(const std::string& appId, std::weak_ptr<MorrowSessionDelegate> delegate);
    ~MorrowOAuth() override;

    void setSessionDelegate(std::weak_ptr<MorrowSessionDelegate> delegate);
    std::shared_ptr<MorrowSessionDelegate> sessionDelegate() const override { return m_sessionDelegate.lock(); }

    // An authorisation without local app id: the permissions are kept and the last user's nick
    // name forgotten; `inSafari` has no effect.
    bool authorizeInSafari(const std::vector<std::string>& permissions, bool inSafari);
    // An authorisation for `delegate`, which may choose other permissions; `inSafari` has no effect.
    bool authorizeWithPermissionsAndExtraParamsDelegateInSafari(const std::vector<std::string>& permissions,
        const pf::Value& extraParams, const std::shared_ptr<MorrowSessionDelegate>& delegate, bool inSafari);
    // Same as `authorizeInSafari`; the local app id is only kept.
    bool authorizeLocalAppIdInSafari(const std::vector<std::string>& permissions, const std::optional<std::string>& localAppId,
        bool inSafari);
    // Keeps the permissions, forgets the last user's nick name and asks the vendor's login
    // statistics, whose answer decides.
    bool authorize(const std::vector<std::string>& permissions);
    // The web sign-in for `appId` on the app's own reply scheme ("morrow<app id>") with the
    // session's redirect address; false when it could not start (see `MorrowWebLogin`).
    bool authorizeWithMorrowAppAuthInSafariPermissionsAndExtraParamsDelegate(const std::string& appId,
        const std::vector<std::string>& permissions, const pf::Dictionary& extraParams, std::weak_ptr<MorrowSessionDelegate> delegate);
    bool authorizeWithMorrowAppAuthInSafariPermissionsDelegate(const std::string& appId, const std::vector<std::string>& permissions,
        std::weak_ptr<MorrowSessionDelegate> delegate);
    // Run the scripts' incremental or repeated sign-in (no host rebuild, nothing counted). Both
    // answer YES: the scripts report the outcome; without scripts nothing runs.
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
    // Keeps the LM app's "encrytoken" and hands it to the vendor's web pages.
    void setEncryToken(const std::optional<std::string>& token);
    const std::optional<std::string>& encryToken() const { return m_encryToken; }
    // Always none: the kept token is read with `encryToken`.
    std::optional<std::string> encrytoken() const { return std::nullopt; }
    const std::vector<std::string>& permissions() const { return m_permissions; }

    // Hands a reply address to the scripts; YES when they take it.
    bool handleOpenURL(const pf::Url& url) override;
    // The credentials of an app's sign-in reply go to the scripts.
    bool openApiDidReceiveSignIn(const SignIn& signIn) override;
    static bool HandleOpenURL(const pf::Url& url);
    static bool CanHandleOpenURL(const pf::Url& url);
    static bool iphoneLMInstalled();
    static bool iphoneLMSupportSSOLogin();
    static bool iphoneLZoneInstalled();
    static bool iphoneLZoneSupportSSOLogin();
    static int sendRespMessageToMorrowApp(const std::shared_ptr<MorrowApiResp>& resp);
    static std::optional<std::string> getMorrowAppInstallUrl(int appType);

    // Script functions of "oauth".
    std::optional<std::string> convertAppIdJs(const pf::Value& params) const;
    void registLMAPIWithLMAppId(const pf::Value& params) const;
    std::string authorizeInappWithParams(const pf::Value& params) const;
    std::string jsCallHandleOpenUrlByOpenApi(const pf::Value& params);
    std::string jsCallHandleOpenURLByOAuth(const pf::Value& params);
    // Whether the web sign-in window takes `url` as one of its replies; NO without a window.
    bool oldCanhandleOpenURL(const pf::Url& url) const override;
    // The web sign-in route.
    const std::shared_ptr<MorrowWebLogin>& webLogin() const { return m_webLogin; }
    // The social dialogs and the scripts' windows.
    const std::shared_ptr<MorrowDialogs>& dialogs() const { return m_dialogs; }
    bool sendStory(const pf::Dictionary& params, const std::optional<pf::Array>& friendList);
    bool sendAppInvitationWithDescription(const std::string& description, const std::string& imageURL, const std::string& source);
    bool sendChallenge(const std::string& receiver, const std::string& type, const std::string& imageURL, const std::string& message,
        const std::string& source);
    bool sendGiftRequest(const std::string& receiver, const std::string& exclude, const std::string& specified, bool only,
        const std::string& type, const std::string& title, const std::string& message, const std::string& imageURL, const std::string& source);
    std::string localEncrytedToken() const;
    // The avatar dialog: in its own window, or a screen for the host to present.
    bool setUserHeadpic(const std::shared_ptr<pf::Image>& pic, const std::optional<std::string>& fileName);
    bool setUserHeadpicAndViewController(const std::shared_ptr<pf::Image>& pic, const std::optional<std::string>& fileName,
        std::shared_ptr<pf::ViewController>& viewController);
    const std::shared_ptr<MorrowAvatar>& avatar() const { return m_avatar; }
    const std::shared_ptr<MorrowScriptServices>& scriptServices() const { return m_services; }
    // The nick name of the last user-info reply; "" before one.
    std::string userNick() const override;
    bool getUserInfoNotShow() override;
    // Native sign-in routes with a caller-described app (no script function of their own).
    std::string authorizeInLMWithParams(const pf::Value& params) const;
    std::string authorizeInLZoneWithParams(const pf::Value& params) const;

    // The Open API wrappers: each parks its parameters for the scripts under its callback name
    // and runs its script function; true when the script answers "true". The result reaches the
    // delegate's operation of the callback's name.
    bool getListAlbum();
    bool getListPhotoWithParams(const pf::Value& params);
    bool addShareWithParams(const pf::Value& params);
    bool uploadPicWithParams(const pf::Value& params);
    bool addAlbumWithParams(const pf::Value& params);
    bool addOneBlogWithParams(const pf::Value& params);
    bool addTopicWithParams(const pf::Value& params);
    bool checkPageFansWithParams(const pf::Value& params);
    bool matchNickTips(const pf::Value& params);
    bool getIntimateFriends(const pf::Value& params);
    bool getVipInfo();
    bool getVipRichInfo();
    bool sendAPIJS(const pf::Value& params, const std::string& key);

    // A login finished elsewhere: token and expiry are set, then the open id is asked of the
    // Open API ("oauth2.0/m_me"); its answer ends in `morrowDidLogin` or `morrowDidNotLogin(false)`,
    // whatever other requests the session starts meanwhile.
    void morrowDialogLogin(const std::string& token, double expirationDate);
    // Tells the vendor of the login; a refusal starts a new authorisation.
    bool userLoginStatis();
    static std::string loginStatisToken(const std::string& accessToken, const std::string& appId, const std::string& openId);
    std::string statisToken() const override { return loginStatisToken(accessToken(), m_appId, openId()); }

    void requestDidLoadRawResponse(const std::shared_ptr<MorrowRequest>& request, const pf::Bytes& data) override;
    void requestDidFailWithError(const std::shared_ptr<MorrowRequest>& request, const MorrowError& error) override;

    // "a b~" -> "a+b~": form encoding of every byte but the unreserved ones.
    static std::string urlencode(const std::string& text);
    // A sign-in reply's "name=value&..." text, read as the web sign-in reads it
    // (`MRLoginViewKit::parseURLParams`); none for none.
    static std::optional<pf::Dictionary> parseURLParams(const std::optional<std::string>& text);
    // The JSON value of a text; none for none or for text that is no JSON.
    static std::optional<pf::Value> JSONValue(const std::optional<std::string>& text);

    // Login relays (the session is its own login delegate).
    void morrowDidLogin() override;
    void morrowDidNotLogin(bool cancelled) override;
    void morrowDidNotNetWork() override;
    void morrowDidUpdate(const std::shared_ptr<MorrowOAuth>& session) override;
    void morrowFailedUpdate(int reason) override;
    std::optional<bool> morrowNeedPerformIncrAuth(const std::shared_ptr<MorrowOAuth>& session,
        const std::vector<std::string>& permissions) override;
    std::optional<bool> morrowNeedPerformReAuth(const std::shared_ptr<MorrowOAuth>& session) override;
    void apiBaseDidSendBodyData(const std::shared_ptr<APIBase>& apiBase, std::int64_t bytesWritten,
        std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite) override;

    // The session's own Open API requests. Graph paths lie below "oauth2.0/" of the Open API
    // base, method names right below it; "format", "oauth_consumer_key" and, while valid, the
    // token and open id are added. Each replaces the session's held exchange and answers it.
    std::shared_ptr<MorrowRequest> requestWithGraphPathAndDelegate(const std::string& graphPath,
        std::weak_ptr<MorrowRequestDelegate> delegate);
    std::shared_ptr<MorrowRequest> requestWithGraphPathAndParamsAndDelegate(const std::string& graphPath, MorrowParams params,
        std::weak_ptr<MorrowRequestDelegate> delegate);
    std::shared_ptr<MorrowRequest> requestWithGraphPathAndParamsAndHttpMethodAndDelegate(const std::string& graphPath,
        MorrowParams params, const std::string& httpMethod, std::weak_ptr<MorrowRequestDelegate> delegate);
    std::shared_ptr<MorrowRequest> requestWithMethodNameAndParamsAndHttpMethodAndDelegate(const std::string& methodName,
        MorrowParams params, const std::string& httpMethod, std::weak_ptr<MorrowRequestDelegate> delegate);
    // The method name comes from the entry "method", which is not sent; none without it.
    std::shared_ptr<MorrowRequest> requestWithParamsAndDelegate(MorrowParams params, std::weak_ptr<MorrowRequestDelegate> delegate);
    std::shared_ptr<MorrowRequest> openUrlParamsHttpMethodDelegate(const std::string& url, MorrowParams params,
        const std::string& httpMethod, std::weak_ptr<MorrowRequestDelegate> delegate);
    // "morrow<app id>://<redirect address>".
    std::string getOwnBaseUrl() const;
    const std::optional<std::string>& localAppId() const { return m_localAppId; }
    void setLocalAppId(std::optional<std::string> id) { m_localAppId = std::move(id); }
    const std::string& redirectURI() const { return m_redirectURI; }
    void setRedirectURI(std::string uri) { m_redirectURI = std::move(uri); }
    void setPermissions(std::vector<std::string> permissions) { m_permissions = std::move(permissions); }
    // Kept only.
    const pf::Dictionary& openIdDict() const { return m_openIdDict; }
    void setOpenIdDict(pf::Dictionary dict) { m_openIdDict = std::move(dict); }

    // The host's load events: the objects are registered again and the scripts initialised.
    bool shouldStartLoadWithRequest(const std::string& url, int navigationType) override { return true; }
    void webViewDidFinishLoad() override;

    // The current script host; none when the scripts could not load.
    const std::shared_ptr<MorrowWebViewHost>& scriptHost() const { return m_webView; }
    const std::shared_ptr<JsUpdateManager>& jsUpdateManager() const { return m_jsUpdateManager; }
    // Authorisations since the host was last built, for the whole process.
    static int authorizationCount();

private:
    MorrowOAuth() = default;
    void initialise(const std::string& appId, std::weak_ptr<MorrowSessionDelegate> delegate);
    void initWithJsSDK();
    void jsRegister();
    void runInit();
    std::string evaluate(const std::string& script) const;
    std::optional<std::string> readScriptText(const char* variable) const;
    std::shared_ptr<MorrowJSObject> oauthObject();
    bool callWrapper(const char* function, const char* category, const std::string& callback, const pf::Value* params);
    std::shared_ptr<MorrowRequest> openUrl(const std::string& url, MorrowParams params, const std::string& httpMethod,
        std::weak_ptr<MorrowRequestDelegate> delegate);
    bool relaysReauthorisation(const std::shared_ptr<MorrowSessionDelegate>& delegate) const;
    void openIdReply(const std::string& text);

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
    std::shared_ptr<MorrowWebLogin> m_webLogin;
    std::shared_ptr<MorrowDialogs> m_dialogs;
    std::shared_ptr<MorrowAvatar> m_avatar;
    std::set<std::shared_ptr<MorrowRequest>> m_openIdRequests; // the "m_me" lookups until each is answered
    std::optional<std::string> m_localAppId;
    std::string m_redirectURI;
    pf::Dictionary m_openIdDict;
    std::shared_ptr<MorrowRequest> m_request; // the held exchange of the own requests until it ends
    std::shared_ptr<MorrowRequest> m_statisRequest;
    // Whether the scripts' objects are registered in the host's page; until then (on system 4)
    // the permissions of the authorisation that waits for them.
    bool m_objectsRegistered { false };
    std::optional<std::vector<std::string>> m_authorisationAwaitingObjects;
};
