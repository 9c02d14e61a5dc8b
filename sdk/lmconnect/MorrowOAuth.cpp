#include "sdk/lmconnect/MorrowOAuth.h"

#include "sdk/lmconnect/host/MROSDKJSBridge.h"
#include "sdk/lmconnect/host/MROSDKJSBridgeTools.h"
#include "sdk/lmconnect/host/MorrowJSObject.h"
#include "sdk/lmconnect/MorrowScriptServices.h"
#include "sdk/lmconnect/host/MorrowScriptText.h"
#include "sdk/lmconnect/MorrowWebLogin.h"
#include "sdk/lmconnect/host/MorrowWebViewHost.h"
#include "sdk/lmconnect/apps/MXAppidConvert.h"
#include "sdk/lmconnect/dialogs/MorrowAvatar.h"
#include "sdk/lmconnect/dialogs/MorrowDialogs.h"
#include "sdk/lmconnect/apps/MorrowApiInterface.h"
#include "sdk/lmconnect/apps/MorrowApiUtil.h"
#include "sdk/lmconnect/apps/MorrowAppLauncher.h"
#include "sdk/lmconnect/apps/MorrowAppVersions.h"
#include "sdk/lmconnect/apps/OpenApi.h"
#include "sdk/lmconnect/lmapi/JSLMApi.h"
#include "sdk/lmconnect/lmapi/LMApi.h"
#include "sdk/lmconnect/lmapi/LMApiShareCoder.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/lmconnect/openapi/MorrowParams.h"
#include "sdk/lmconnect/openapi/MorrowRequest.h"
#include "sdk/lmconnect/openapi/MrApiTool.h"
#include "sdk/lmconnect/update/JsUpdateManager.h"
#include "sdk/lmconnect/web/MRLoginViewKit.h"
#include "sdk/lmconnect/web/MRWebViewLoadJs.h"

#include "platform/foundation/Device.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Url.h"

#include <cstdlib>
#include <utility>

namespace {

// Authorisations since the host was last built, for the whole process; a new launch starts at 0.
int& jscount()
{
    static int* count = [] {
        auto* made = new int(0);
        pf::ResetRegistry::add([made] { *made = 0; });
        return made;
    }();
    return *count;
}

// Read as a whole number from the version's text: a major number too large for an int stops at
// the largest, and such a system counts as recent, rather than overflowing a conversion.
int majorSystemVersion() { return pf::Device::current().systemMajorVersion(); }

// The script's "urlStr": form-encoded, so "+" is a blank before unescaping.
std::optional<pf::Url> formEncodedUrl(const pf::Value& params)
{
    auto text = params["urlStr"].optionalString();
    if (!text)
        return std::nullopt;
    auto decoded = pf::Url::formDecode(*text);
    return decoded ? pf::Url::fromString(*decoded) : std::nullopt;
}

}

std::shared_ptr<MorrowOAuth> MorrowOAuth::initWithAppIdAndDelegate(const std::string& appId, std::weak_ptr<MorrowSessionDelegate> delegate)
{
    std::shared_ptr<MorrowOAuth> session(new MorrowOAuth());
    session->initialise(appId, std::move(delegate));
    return session;
}

void MorrowOAuth::initialise(const std::string& appId, std::weak_ptr<MorrowSessionDelegate> delegate)
{
    m_appId = appId;
    m_webLogin = std::make_shared<MorrowWebLogin>(std::static_pointer_cast<MorrowOAuth>(shared_from_this()));
    m_dialogs = std::make_shared<MorrowDialogs>(std::static_pointer_cast<MorrowOAuth>(shared_from_this()));
    m_avatar = std::make_shared<MorrowAvatar>(std::static_pointer_cast<MorrowOAuth>(shared_from_this()));
    setSessionDelegate(std::move(delegate));
    OpenApi::setLoginDelegate(std::shared_ptr<MorrowSessionDelegate>(std::static_pointer_cast<MorrowOAuth>(shared_from_this())));
    m_jsUpdateManager = JsUpdateManager::create();
    initWithJsSDK();
    auto& versions = m_jsUpdateManager->versionController();
    m_jsUpdateManager->setTimer(std::uint32_t(versions.getFinalFrequency()), std::uint32_t(versions.getTimerDelay()));
    m_jsUpdateManager->startTimer(kUpdateBusinessId);
    if (majorSystemVersion() >= 5) {
        jsRegister();
        runInit();
        m_objectsRegistered = true;
    }
}

MorrowOAuth::~MorrowOAuth()
{
    OpenApi::clearParamIfSessionGone();
    MRWebViewLoadJs::clear();
    if (m_jsUpdateManager)
        m_jsUpdateManager->stopTimer();
    if (m_bridge && MROSDKJSBridge::shareInstance() == m_bridge)
        m_bridge->JSRunEnv().removeRegistObjForKey("oauth");
}

void MorrowOAuth::setSessionDelegate(std::weak_ptr<MorrowSessionDelegate> delegate)
{
    m_sessionDelegate = delegate;
    std::weak_ptr<MorrowOAuth> self = std::static_pointer_cast<MorrowOAuth>(shared_from_this());
    OpenApi::registerAppWithDelegateAndOldApi(m_appId, std::move(delegate), self);
    // The registered script functions hold the services weakly: they are kept, and only told
    // the new delegate, so the scripts' HTTP and relays go on working.
    if (m_services) {
        m_services->setDelegate(m_sessionDelegate);
    } else {
        m_services = std::make_shared<MorrowScriptServices>(std::static_pointer_cast<MorrowSession>(shared_from_this()), m_sessionDelegate);
        // A nick name from a user-info reply goes to the avatar screen, the one screen that takes it.
        std::weak_ptr<MorrowAvatar> avatar = m_avatar;
        m_services->setNickNameReceiver([avatar](const std::string& nick) {
            if (auto receiver = avatar.lock())
                receiver->offerNick(nick);
        });
    }
}

void MorrowOAuth::initWithJsSDK()
{
    m_webView = MorrowWebViewHost::create();
    std::weak_ptr<MorrowJSRunEnvDelegate> self = std::static_pointer_cast<MorrowOAuth>(shared_from_this());
    m_bridge = MROSDKJSBridge::initializeWithUpdateManager(m_jsUpdateManager, m_webView, self);
    if (!m_bridge)
        return;
    // The host runs the share script; the LM API describes its messages to it.
    m_bridge->setShareCoder(LMApiShareCoder::shared());
    m_bridge->loadScript(MROSDKJSBridge::bootstrapScript(), "bootstrap");
}

void MorrowOAuth::jsRegister()
{
    if (!m_bridge)
        return;
    // The page hears the objects in this order, each as soon as it is made.
    auto& runEnv = m_bridge->JSRunEnv();
    runEnv.registNativeObj(oauthObject());
    runEnv.registNativeObj(MROSDKJSBridgeTools::openUiObject());
    runEnv.registNativeObj(OpenApi::openApiObject());
    runEnv.registNativeObj(MROSDKJSBridgeTools::logObject());
    runEnv.registNativeObj(JSLMApi::nativeApiObject());
    runEnv.registNativeObj(MorrowAppLauncher::openapiObject());
    runEnv.registNativeObj(MROSDKJSBridgeTools::dataReportObject());
    runEnv.registNativeObj(MROSDKJSBridgeTools::dataMgrObject());
}

void MorrowOAuth::runInit()
{
    if (!m_bridge)
        return;
    // The session handles the sign-ins the scripts start; held weakly, as the shared host
    // outlives it.
    std::weak_ptr<MorrowLoginDelegate> handler = std::static_pointer_cast<MorrowOAuth>(shared_from_this());
    m_bridge->authorizeInitWithHandler(m_appId, handler);
}

void MorrowOAuth::webViewDidFinishLoad()
{
    jsRegister();
    runInit();
    m_objectsRegistered = true;
    if (auto waiting = std::exchange(m_authorisationAwaitingObjects, std::nullopt); waiting && m_bridge)
        m_bridge->authorizeWithPermissions(*waiting);
}

std::string MorrowOAuth::evaluate(const std::string& script) const
{
    return m_bridge ? m_bridge->evaluateJavascript(script) : std::string();
}

std::shared_ptr<MorrowJSObject> MorrowOAuth::oauthObject()
{
    auto object = std::make_shared<MorrowJSObject>("oauth");
    m_services->addRequestFunctionsTo(*object);
    std::weak_ptr<MorrowOAuth> weak = std::static_pointer_cast<MorrowOAuth>(shared_from_this());
    auto add = [&](const char* name, int returnType, std::function<MorrowBridgeValue(MorrowOAuth&, const pf::Value&)> body) {
        object->transformNativeMethod([weak, body](const std::vector<MorrowBridgeValue>& a) {
            auto self = weak.lock();
            return self ? body(*self, a[0].value) : MorrowBridgeValue();
        }, 1, name, returnType, { 2 });
    };
    add("convertAppIdJs", 1, [](MorrowOAuth& s, const pf::Value& p) {
        auto id = s.convertAppIdJs(p);
        return id ? MorrowBridgeValue(*id) : MorrowBridgeValue();
    });
    add("registLMAPIWithLMAppId", 9, [](MorrowOAuth& s, const pf::Value& p) {
        s.registLMAPIWithLMAppId(p);
        return MorrowBridgeValue();
    });
    add("authorizeInappWithParams", 1, [](MorrowOAuth& s, const pf::Value& p) { return MorrowBridgeValue(s.authorizeInappWithParams(p)); });
    add("authorizeInWebviewKitWithParams", 1, [](MorrowOAuth& s, const pf::Value& p) {
        return MorrowBridgeValue(s.m_webLogin->authorizeInWebviewKitWithParams(p));
    });
    add("jsCallHandleOpenUrlByOpenApi", 1, [](MorrowOAuth& s, const pf::Value& p) { return MorrowBridgeValue(s.jsCallHandleOpenUrlByOpenApi(p)); });
    add("jsCallHandleOpenURLByOAuth", 1, [](MorrowOAuth& s, const pf::Value& p) { return MorrowBridgeValue(s.jsCallHandleOpenURLByOAuth(p)); });
    m_services->addRelayFunctionsTo(*object);
    add("sendStoryImple", 1, [](MorrowOAuth& s, const pf::Value& p) { return MorrowBridgeValue(s.m_dialogs->sendStoryImple(p)); });
    object->transformNativeMethod([weak](const std::vector<MorrowBridgeValue>& a) {
        auto self = weak.lock();
        auto text = [&](size_t i) -> std::optional<std::string> {
            const std::string* t = i < a.size() ? a[i].value.asString() : nullptr;
            return t ? std::optional<std::string>(*t) : std::nullopt;
        };
        return MorrowBridgeValue(self && self->m_dialogs->openNativeWebView(text(0), text(1)));
    }, 2, "openNativeWebView", 4, { 1, 1 });
    object->transformNativeMethod([weak](const std::vector<MorrowBridgeValue>&) {
        if (auto self = weak.lock())
            self->m_dialogs->closeNativeWebView();
        return MorrowBridgeValue();
    }, 0, "closeNativeWebView", 9, {});
    return object;
}

bool MorrowOAuth::authorizeInSafari(const std::vector<std::string>& permissions, bool inSafari)
{
    return authorizeLocalAppIdInSafari(permissions, std::nullopt, inSafari);
}

bool MorrowOAuth::authorizeWithPermissionsAndExtraParamsDelegateInSafari(const std::vector<std::string>& permissions,
    const pf::Value& extraParams, const std::shared_ptr<MorrowSessionDelegate>& delegate, bool)
{
    std::vector<std::string> asked = permissions;
    if (delegate && delegate.get() != this) {
        if (auto chosen = delegate->getAuthorizedPermissions(permissions, extraParams))
            asked = std::move(*chosen);
    }
    int version = majorSystemVersion();
    if (jscount() == 10 && version >= 5) {
        initWithJsSDK();
        jsRegister();
        runInit();
        jscount() = 0;
    }
    if (version >= 5)
        ++jscount();
    // Scripts that could not be loaded before (found damaged, and not installed again then) are
    // loaded again now, so the sign-in, and the share that waits for it, can go on.
    if (!m_bridge && version >= 5) {
        initWithJsSDK();
        jsRegister();
        runInit();
    }
    if (!m_bridge) {
        pf::Log::line("MorrowOAuth: the LM Connect scripts cannot be loaded; the sign-in is not made");
        morrowDidNotLogin(false);
        return false;
    }
    if (version == 4 && !m_objectsRegistered) {
        // The scripts' login would find none of the objects it calls and do nothing.
        m_authorisationAwaitingObjects = std::move(asked);
        return true;
    }
    m_bridge->authorizeWithPermissions(asked);
    return true;
}

bool MorrowOAuth::authorizeLocalAppIdInSafari(const std::vector<std::string>& permissions, const std::optional<std::string>& localAppId,
    bool)
{
    m_localAppId = localAppId;
    m_permissions = permissions;
    // Whoever signs in now may be another user: the last one's nick must not be shown for them.
    if (m_services)
        m_services->clearNickName();
    return authorizeWithPermissionsAndExtraParamsDelegateInSafari(m_permissions, pf::Value(),
        std::static_pointer_cast<MorrowOAuth>(shared_from_this()), false);
}

bool MorrowOAuth::authorize(const std::vector<std::string>& permissions)
{
    m_localAppId.reset();
    m_permissions = permissions;
    if (m_services)
        m_services->clearNickName();
    return userLoginStatis();
}

bool MorrowOAuth::authorizeWithMorrowAppAuthInSafariPermissionsAndExtraParamsDelegate(const std::string& appId,
    const std::vector<std::string>& permissions, const pf::Dictionary& extraParams, std::weak_ptr<MorrowSessionDelegate> delegate)
{
    std::optional<std::string> redirect;
    if (!m_redirectURI.empty())
        redirect = m_redirectURI;
    return m_webLogin->authorizeWithMorrowAppAuthInappId(appId, permissions, "morrow" + appId, redirect, extraParams, std::move(delegate));
}

bool MorrowOAuth::authorizeWithMorrowAppAuthInSafariPermissionsDelegate(const std::string& appId, const std::vector<std::string>& permissions,
    std::weak_ptr<MorrowSessionDelegate> delegate)
{
    return authorizeWithMorrowAppAuthInSafariPermissionsAndExtraParamsDelegate(appId, permissions, {}, std::move(delegate));
}

bool MorrowOAuth::incrAuthWithPermissions(const std::vector<std::string>& permissions)
{
    evaluate(MorrowScriptText::call("morrow.tauth.inAuth", { MROSDKJSBridge::joinedPermissions(permissions) }));
    return true;
}

bool MorrowOAuth::reauthorizeWithPermissions(const std::vector<std::string>& permissions)
{
    if (m_bridge)
        m_bridge->authorizeWithPermissions(permissions);
    return true;
}

void MorrowOAuth::logout(std::weak_ptr<MorrowSessionDelegate> delegate)
{
    setAccessToken(std::nullopt);
    setOpenId(std::nullopt);
    setExpirationDate(std::nullopt);
    m_permissions.clear();
    if (auto own = m_sessionDelegate.lock())
        own->morrowDidLogout();
    else if (auto given = delegate.lock())
        given->morrowDidLogout();
}

std::optional<std::string> MorrowOAuth::readScriptText(const char* variable) const
{
    if (!m_bridge)
        return std::nullopt;
    std::string text = evaluate(std::string("String(") + variable + ")");
    // "(null)" is how a cleared value has always been written; it and "" mean none.
    if (text.empty() || text == "(null)" || text == "undefined" || text == "null")
        return std::nullopt;
    return text;
}

std::string MorrowOAuth::accessToken() const { return readScriptText("morrow.oauth.accessToken").value_or(""); }
std::string MorrowOAuth::openId() const { return readScriptText("morrow.oauth.openId").value_or(""); }

std::optional<double> MorrowOAuth::expirationDate() const
{
    auto text = readScriptText("morrow.oauth.expirationDate");
    if (!text)
        return std::nullopt;
    char* end = nullptr;
    double millis = std::strtod(text->c_str(), &end);
    if (end == text->c_str() || millis == 0)
        return std::nullopt;
    return millis / 1000.0;
}

bool MorrowOAuth::isSessionValid() const
{
    auto expiry = expirationDate();
    return !accessToken().empty() && expiry && *expiry > pf::RunLoop::main().clock().now();
}

void MorrowOAuth::setAccessToken(const std::optional<std::string>& token)
{
    m_accessTokenField = token;
    evaluate("morrow.oauth.accessToken = " + MorrowScriptText::literal(token.value_or("(null)")) + ";");
}

void MorrowOAuth::setOpenId(const std::optional<std::string>& openId)
{
    m_openIdField = openId;
    evaluate("morrow.oauth.openId = " + MorrowScriptText::literal(openId.value_or("(null)")) + ";");
    if (openId)
        LMApi::registerLMConnectOpenId(*openId);
}

void MorrowOAuth::setExpirationDate(const std::optional<double>& date)
{
    m_expirationField = date;
    evaluate("morrow.oauth.expirationDate = " + MorrowScriptText::number(date.value_or(0) * 1000.0) + ";");
}

bool MorrowOAuth::morrowNeedPerformIncrAuth(const std::vector<std::string>& permissions)
{
    return morrowNeedPerformIncrAuth(std::static_pointer_cast<MorrowOAuth>(shared_from_this()), permissions).value_or(true);
}

bool MorrowOAuth::relaysReauthorisation(const std::shared_ptr<MorrowSessionDelegate>& delegate) const
{
    return delegate && delegate.get() != this && delegate->respondsToMorrowDidUpdate();
}

std::optional<bool> MorrowOAuth::morrowNeedPerformIncrAuth(const std::shared_ptr<MorrowOAuth>&, const std::vector<std::string>& permissions)
{
    if (permissions.empty())
        return true;
    auto delegate = m_sessionDelegate.lock();
    if (!relaysReauthorisation(delegate))
        return true;
    auto self = std::static_pointer_cast<MorrowOAuth>(shared_from_this());
    return delegate->morrowNeedPerformIncrAuth(self, permissions).value_or(true);
}

std::optional<bool> MorrowOAuth::morrowNeedPerformReAuth(const std::shared_ptr<MorrowOAuth>&)
{
    auto delegate = m_sessionDelegate.lock();
    if (!relaysReauthorisation(delegate))
        return true;
    return delegate->morrowNeedPerformReAuth(std::static_pointer_cast<MorrowOAuth>(shared_from_this())).value_or(true);
}

void MorrowOAuth::morrowDidUpdate(const std::shared_ptr<MorrowOAuth>& session)
{
    if (auto delegate = m_sessionDelegate.lock(); delegate && delegate.get() != this)
        delegate->morrowDidUpdate(session);
}

void MorrowOAuth::morrowFailedUpdate(int reason)
{
    if (auto delegate = m_sessionDelegate.lock(); delegate && delegate.get() != this)
        delegate->morrowFailedUpdate(reason);
}

void MorrowOAuth::apiBaseDidSendBodyData(const std::shared_ptr<APIBase>& apiBase, std::int64_t bytesWritten,
    std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite)
{
    if (!apiBase)
        return;
    if (auto delegate = m_sessionDelegate.lock(); delegate && delegate.get() != this)
        delegate->morrowOAuthDidSendBodyData(std::static_pointer_cast<MorrowOAuth>(shared_from_this()), bytesWritten,
            totalBytesWritten, totalBytesExpectedToWrite, apiBase->userData());
}

bool MorrowOAuth::handleOpenURL(const pf::Url& url)
{
    return m_bridge && m_bridge->authorizeHandleURL(urlencode(url.absoluteString()));
}

bool MorrowOAuth::openApiDidReceiveSignIn(const SignIn& signIn)
{
    setOpenId(signIn.openId);
    setAccessToken(signIn.accessToken);
    setExpirationDate(signIn.expirationDate);
    setEncryToken(signIn.encryToken);
    return !openId().empty() && !accessToken().empty() && expirationDate();
}

bool MorrowOAuth::HandleOpenURL(const pf::Url& url) { return OpenApi::handleOpenURL(url); }
bool MorrowOAuth::CanHandleOpenURL(const pf::Url& url) { return MorrowApiInterface::canOpenURL(url) || OpenApi::canHandleOpenURL(url); }
int MorrowOAuth::sendRespMessageToMorrowApp(const std::shared_ptr<MorrowApiResp>& resp) { return MorrowApiInterface::sendRespMessageToMorrowApp(resp); }
std::optional<std::string> MorrowOAuth::getMorrowAppInstallUrl(int appType) { return MorrowApiInterface::getMorrowAppInstallUrl(appType); }
bool MorrowOAuth::iphoneLMInstalled() { return MorrowAppVersions::lmVersion() != 0; }
bool MorrowOAuth::iphoneLMSupportSSOLogin() { return MorrowAppVersions::lmVersion() > (pf::Device::current().systemVersionFloat() < 7.0 ? 1 : 2); }
bool MorrowOAuth::iphoneLZoneInstalled() { return MorrowAppVersions::lzoneVersion() != 0; }
bool MorrowOAuth::iphoneLZoneSupportSSOLogin() { return MorrowAppVersions::lzoneVersion() > (pf::Device::current().systemVersionFloat() < 7.0 ? 2 : 4); }

std::optional<std::string> MorrowOAuth::convertAppIdJs(const pf::Value& params) const
{
    auto id = params["appid"].optionalString();
    return id ? MXAppidConvert::convertAppId(*id) : std::nullopt;
}

void MorrowOAuth::registLMAPIWithLMAppId(const pf::Value& params) const
{
    auto id = params["appid"].optionalString();
    MXAppidConvert convert;
    if (!id || !convert.InitWithAppId(*id))
        return;
    LMApi::registerLMConnectAppId(*id);
    if (auto scheme = convert.GetMLMAppId())
        LMApi::registerPluginWithId(*scheme);
}

std::string MorrowOAuth::authorizeInappWithParams(const pf::Value&) const
{
    return OpenApi::authorizeWithPermission() ? "1" : "0";
}

std::string MorrowOAuth::jsCallHandleOpenUrlByOpenApi(const pf::Value& params)
{
    auto url = formEncodedUrl(params);
    if (!url)
        return "NO";
    auto self = std::static_pointer_cast<MorrowOAuth>(shared_from_this());
    return OpenApi::processMessageCallByOAuth(*url, self, self) ? "YES" : "NO";
}

std::string MorrowOAuth::jsCallHandleOpenURLByOAuth(const pf::Value& params)
{
    auto url = formEncodedUrl(params);
    if (!url)
        return "NO";
    // A reply of the web sign-in is taken there; the address was handled, so "YES".
    if (m_webLogin->handleOpenURL(*url))
        return "YES";
    return MorrowApiInterface::handleOpenURL(*url, m_sessionDelegate.lock()) ? "YES" : "NO";
}

bool MorrowOAuth::oldCanhandleOpenURL(const pf::Url& url) const
{
    return m_webLogin->canHandleOpenURL(url);
}

void MorrowOAuth::setEncryToken(const std::optional<std::string>& token)
{
    m_encryToken = token;
    if (token)
        MRWebViewLoadJs::getInstance()->loadJS(m_appId, m_openIdField.value_or(""), *token);
}
std::string MorrowOAuth::authorizeInLMWithParams(const pf::Value& params) const { return MorrowAppLauncher::sendCommandToLMWith(params); }
std::string MorrowOAuth::authorizeInLZoneWithParams(const pf::Value& params) const { return MorrowAppLauncher::sendCommandToLZoneWith(params); }

std::optional<pf::Dictionary> MorrowOAuth::parseURLParams(const std::optional<std::string>& text)
{
    return MRLoginViewKit::parseURLParams(text);
}

std::optional<pf::Value> MorrowOAuth::JSONValue(const std::optional<std::string>& text)
{
    return text ? pf::Json::parse(*text) : std::nullopt;
}

std::string MorrowOAuth::urlencode(const std::string& text)
{
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (c == ' ')
            out += '+';
        else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~')
            out += char(c);
        else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

void MorrowOAuth::morrowDidLogin()
{
    if (m_bridge)
        m_bridge->setAccessTokenOpenIDExpirationDate(accessToken(), openId(), expirationDate().value_or(0) * 1000.0);
    if (auto delegate = m_sessionDelegate.lock())
        delegate->morrowDidLogin();
}

void MorrowOAuth::morrowDidNotLogin(bool cancelled)
{
    if (auto delegate = m_sessionDelegate.lock())
        delegate->morrowDidNotLogin(cancelled);
}

void MorrowOAuth::morrowDidNotNetWork()
{
    if (auto delegate = m_sessionDelegate.lock())
        delegate->morrowDidNotNetWork();
}

bool MorrowOAuth::sendStory(const pf::Dictionary& params, const std::optional<pf::Array>& friendList)
{
    return m_dialogs->sendStory(params, friendList);
}

bool MorrowOAuth::sendAppInvitationWithDescription(const std::string& description, const std::string& imageURL, const std::string& source)
{
    return m_dialogs->sendAppInvitationWithDescription(description, imageURL, source);
}

bool MorrowOAuth::sendChallenge(const std::string& receiver, const std::string& type, const std::string& imageURL, const std::string& message,
    const std::string& source)
{
    return m_dialogs->sendChallenge(receiver, type, imageURL, message, source);
}

bool MorrowOAuth::sendGiftRequest(const std::string& receiver, const std::string& exclude, const std::string& specified, bool only,
    const std::string& type, const std::string& title, const std::string& message, const std::string& imageURL, const std::string& source)
{
    return m_dialogs->sendGiftRequest(receiver, exclude, specified, only, type, title, message, imageURL, source);
}

std::string MorrowOAuth::localEncrytedToken() const { return m_dialogs->localEncrytedToken(); }

bool MorrowOAuth::setUserHeadpic(const std::shared_ptr<pf::Image>& pic, const std::optional<std::string>& fileName)
{
    return m_avatar->setUserHeadpic(pic, fileName);
}

bool MorrowOAuth::setUserHeadpicAndViewController(const std::shared_ptr<pf::Image>& pic, const std::optional<std::string>& fileName,
    std::shared_ptr<pf::ViewController>& viewController)
{
    return m_avatar->setUserHeadpicAndViewController(pic, fileName, viewController);
}

std::string MorrowOAuth::userNick() const { return m_services ? m_services->nickName() : std::string(); }
bool MorrowOAuth::getUserInfoNotShow() { return m_services && m_services->getUserInfoNotShow(); }

int MorrowOAuth::authorizationCount() { return jscount(); }

bool MorrowOAuth::callWrapper(const char* function, const char* category, const std::string& callback, const pf::Value* params)
{
    if (!m_bridge)
        return false;
    if (params)
        MROSDKJSBridge::addUserDictionary(*params, callback);
    return m_bridge->jsCall(function, category, callback);
}

bool MorrowOAuth::getListAlbum() { return callWrapper("listAlbum", "morrow.lzone", "getListAlbumResponse:", nullptr); }
bool MorrowOAuth::getListPhotoWithParams(const pf::Value& p) { return callWrapper("listPhotos", "morrow.lzone", "getListPhotoResponse:", &p); }
bool MorrowOAuth::addShareWithParams(const pf::Value& p) { return callWrapper("addShare", "morrow.lzone", "addShareResponse:", &p); }
bool MorrowOAuth::uploadPicWithParams(const pf::Value& p) { return callWrapper("uploadPicture", "morrow.lzone", "uploadPicResponse:", &p); }
bool MorrowOAuth::addAlbumWithParams(const pf::Value& p) { return callWrapper("addAlbum", "morrow.lzone", "addAlbumResponse:", &p); }
bool MorrowOAuth::addOneBlogWithParams(const pf::Value& p) { return callWrapper("sendBlog", "morrow.lzone", "addOneBlogResponse:", &p); }
bool MorrowOAuth::addTopicWithParams(const pf::Value& p) { return callWrapper("sendShuoshuo", "morrow.lzone", "addTopicResponse:", &p); }
bool MorrowOAuth::checkPageFansWithParams(const pf::Value& p) { return callWrapper("checkFans", "morrow.blip", "checkPageFansResponse:", &p); }
bool MorrowOAuth::matchNickTips(const pf::Value& p) { return callWrapper("nickTips", "morrow.blip", "matchNickTipsResponse:", &p); }
bool MorrowOAuth::getIntimateFriends(const pf::Value& p) { return callWrapper("atFriends", "morrow.blip", "getIntimateFriendsResponse:", &p); }
bool MorrowOAuth::getVipInfo() { return callWrapper("getVipUserInfo", "morrow.info", "getVipInfoResponse:", nullptr); }
bool MorrowOAuth::getVipRichInfo() { return callWrapper("getVipUserRichInfo", "morrow.info", "getVipRichInfoResponse:", nullptr); }
bool MorrowOAuth::sendAPIJS(const pf::Value& p, const std::string& key) { return callWrapper("jscall", "morrow.pub", key, &p); }

std::shared_ptr<MorrowRequest> MorrowOAuth::openUrl(const std::string& url, MorrowParams params, const std::string& httpMethod,
    std::weak_ptr<MorrowRequestDelegate> delegate)
{
    params.set("format", std::string("json"));
    params.set("oauth_consumer_key", m_appId);
    if (isSessionValid())
        params.set("access_token", accessToken());
    if (isOpenIdValid())
        params.set("openid", openId());
    auto request = MorrowRequest::getRequestWithParams(std::move(params), httpMethod, std::move(delegate), url);
    request->connect();
    return request;
}

std::shared_ptr<MorrowRequest> MorrowOAuth::openUrlParamsHttpMethodDelegate(const std::string& url, MorrowParams params,
    const std::string& httpMethod, std::weak_ptr<MorrowRequestDelegate> delegate)
{
    // An exchange replaced here still ends (and reports to its own receiver).
    m_request = openUrl(url, std::move(params), httpMethod, std::move(delegate));
    return m_request;
}

std::shared_ptr<MorrowRequest> MorrowOAuth::requestWithGraphPathAndDelegate(const std::string& graphPath,
    std::weak_ptr<MorrowRequestDelegate> delegate)
{
    return requestWithGraphPathAndParamsAndHttpMethodAndDelegate(graphPath, MorrowParams(), "GET", std::move(delegate));
}

std::shared_ptr<MorrowRequest> MorrowOAuth::requestWithGraphPathAndParamsAndDelegate(const std::string& graphPath,
    MorrowParams params, std::weak_ptr<MorrowRequestDelegate> delegate)
{
    return requestWithGraphPathAndParamsAndHttpMethodAndDelegate(graphPath, std::move(params), "GET", std::move(delegate));
}

std::shared_ptr<MorrowRequest> MorrowOAuth::requestWithGraphPathAndParamsAndHttpMethodAndDelegate(const std::string& graphPath,
    MorrowParams params, const std::string& httpMethod, std::weak_ptr<MorrowRequestDelegate> delegate)
{
    return openUrlParamsHttpMethodDelegate(MorrowHostConfig::shared().openApiBase() + "oauth2.0/" + graphPath, std::move(params),
        httpMethod, std::move(delegate));
}

std::shared_ptr<MorrowRequest> MorrowOAuth::requestWithMethodNameAndParamsAndHttpMethodAndDelegate(const std::string& methodName,
    MorrowParams params, const std::string& httpMethod, std::weak_ptr<MorrowRequestDelegate> delegate)
{
    return openUrlParamsHttpMethodDelegate(MorrowHostConfig::shared().openApiBase() + methodName, std::move(params), httpMethod,
        std::move(delegate));
}

std::shared_ptr<MorrowRequest> MorrowOAuth::requestWithParamsAndDelegate(MorrowParams params, std::weak_ptr<MorrowRequestDelegate> delegate)
{
    auto method = params.textFor("method");
    if (!method)
        return nullptr;
    params.remove("method");
    return requestWithMethodNameAndParamsAndHttpMethodAndDelegate(*method, std::move(params), "GET", std::move(delegate));
}

std::string MorrowOAuth::getOwnBaseUrl() const
{
    return "morrow" + m_appId + "://" + m_redirectURI;
}

void MorrowOAuth::morrowDialogLogin(const std::string& token, double expirationDate)
{
    setAccessToken(token);
    setExpirationDate(expirationDate);
    std::weak_ptr<MorrowRequestDelegate> self = std::static_pointer_cast<MorrowOAuth>(shared_from_this());
    // Known by itself, not as the held exchange: another request may replace that before the
    // reply comes, and the sign-in must still end.
    m_openIdRequests.insert(requestWithGraphPathAndParamsAndDelegate("m_me", MorrowParams { { "access_token", token } }, self));
}

std::string MorrowOAuth::loginStatisToken(const std::string& accessToken, const std::string& appId, const std::string& openId)
{
    // A fixed salted form of the three values; the vendor computes the same.
    return MorrowApiUtil::md5("lmc-stat:" + accessToken + "|" + appId + "|" + openId + "|qv.2026.salt.k9");
}

bool MorrowOAuth::userLoginStatis()
{
    MorrowParams params;
    params.set("encrytoken", loginStatisToken(accessToken(), m_appId, openId()));
    std::weak_ptr<MorrowRequestDelegate> self = std::static_pointer_cast<MorrowOAuth>(shared_from_this());
    m_statisRequest = openUrl(MorrowHostConfig::shared().openApiBase() + "user/user_login_statis", std::move(params), "GET", self);
    return true;
}

void MorrowOAuth::requestDidLoadRawResponse(const std::shared_ptr<MorrowRequest>& request, const pf::Bytes& data)
{
    auto text = MorrowRequest::decodeReplyText(data).value_or("");
    if (request && m_openIdRequests.erase(request)) {
        if (request == m_request)
            m_request.reset();
        openIdReply(text);
        return;
    }
    if (request && request == m_statisRequest) {
        m_statisRequest.reset();
        for (const char* wrap : { "_Callback(", ");" }) {
            for (size_t at = text.find(wrap); at != std::string::npos; at = text.find(wrap))
                text.erase(at, std::string(wrap).size());
        }
        auto reply = pf::Json::parse(text);
        if (!reply || !reply->asDictionary())
            return;
        const pf::Value& ret = (*reply)["ret"];
        bool ok = (ret.asString() && *ret.asString() == "0") || (ret.isNumber() && ret.doubleValue() == 0 && !ret.asString());
        if (ok && reply->asDictionary()->find("ret"))
            morrowDidLogin();
        else
            authorizeInSafari(m_permissions, true);
    }
}

void MorrowOAuth::openIdReply(const std::string& text)
{
    auto reply = MrApiTool::unwrapCallbackReply(text);
    const pf::Value* openId = reply ? reply->asDictionary()->find("openid") : nullptr;
    if (openId && openId->asString() && !openId->asString()->empty()) {
        setOpenId(*openId->asString());
        morrowDidLogin();
    } else {
        morrowDidNotLogin(false);
    }
}

void MorrowOAuth::requestDidFailWithError(const std::shared_ptr<MorrowRequest>& request, const MorrowError&)
{
    // A reply that is no JSON was handled from its raw text already; this is a failed exchange.
    if (request && m_openIdRequests.erase(request)) {
        if (request == m_request)
            m_request.reset();
        morrowDidNotLogin(false);
    }
    if (request && request == m_statisRequest)
        m_statisRequest.reset();
}
