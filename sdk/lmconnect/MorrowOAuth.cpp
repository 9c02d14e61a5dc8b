#include "sdk/lmconnect/MorrowOAuth.h"

#include "sdk/lmconnect/MROSDKJSBridge.h"
#include "sdk/lmconnect/MorrowJSObject.h"
#include "sdk/lmconnect/MorrowScriptServices.h"
#include "sdk/lmconnect/MorrowScriptText.h"
#include "sdk/lmconnect/MorrowWebViewHost.h"
#include "sdk/lmconnect/apps/MXAppidConvert.h"
#include "sdk/lmconnect/apps/MorrowApiInterface.h"
#include "sdk/lmconnect/apps/MorrowApiUtil.h"
#include "sdk/lmconnect/apps/OpenApi.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/lmconnect/openapi/MorrowParams.h"
#include "sdk/lmconnect/openapi/MorrowRequest.h"
#include "sdk/lmconnect/openapi/MrApiTool.h"
#include "sdk/lmconnect/update/JsUpdateManager.h"

#include "platform/foundation/Device.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Url.h"

#include <cstdio>
#include <cstdlib>

namespace {

int& jscount()
{
    static int count = 0;
    return count;
}

int majorSystemVersion() { return int(pf::Device::current().systemVersionFloat()); }

std::string joined(const std::vector<std::string>& items)
{
    std::string text;
    for (size_t i = 0; i < items.size(); ++i)
        text += (i ? "," : "") + items[i];
    return text;
}

std::string millisText(double seconds)
{
    char text[64];
    std::snprintf(text, sizeof text, "%f", seconds * 1000.0);
    return text;
}

std::optional<std::string> textOf(const pf::Value& value)
{
    if (const std::string* text = value.asString())
        return *text;
    return std::nullopt;
}

// The script's "urlStr": form-encoded, so "+" is a blank before unescaping.
std::optional<pf::Url> formEncodedUrl(const pf::Value& params)
{
    auto text = textOf(params["urlStr"]);
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
    }
}

MorrowOAuth::~MorrowOAuth()
{
    OpenApi::clearParamIfSessionGone();
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
    if (m_services)
        m_services->setDelegate(m_sessionDelegate);
    else
        m_services = std::make_shared<MorrowScriptServices>(std::static_pointer_cast<MorrowSession>(shared_from_this()), m_sessionDelegate);
}

void MorrowOAuth::initWithJsSDK()
{
    m_webView = MorrowWebViewHost::create();
    std::weak_ptr<MorrowJSRunEnvDelegate> self = std::static_pointer_cast<MorrowOAuth>(shared_from_this());
    m_bridge = MROSDKJSBridge::initializeWithUpdateManager(m_jsUpdateManager, m_webView, self);
    if (m_bridge)
        m_bridge->evaluateJavascript(MROSDKJSBridge::bootstrapScript());
}

void MorrowOAuth::jsRegister()
{
    if (!m_bridge)
        return;
    m_bridge->registerCommonObjects();
    m_bridge->JSRunEnv().registNativeObj(oauthObject());
    m_bridge->JSRunEnv().registNativeObj(OpenApi::openapiObject());
    m_bridge->JSRunEnv().registNativeObj(OpenApi::openApiObject());
}

void MorrowOAuth::runInit()
{
    evaluate(MorrowScriptText::call("morrow.tauth.init", { m_appId }) + ";");
}

void MorrowOAuth::webViewDidFinishLoad()
{
    jsRegister();
    runInit();
}

std::string MorrowOAuth::evaluate(const std::string& script) const
{
    return m_bridge ? m_bridge->evaluateJavascript(script) : std::string();
}

std::shared_ptr<MorrowJSObject> MorrowOAuth::oauthObject()
{
    auto object = std::make_shared<MorrowJSObject>("oauth");
    m_services->addFunctionsTo(*object);
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
    // The web sign-in window is not part of this build: the route answers "false".
    add("authorizeInWebviewKitWithParams", 1, [](MorrowOAuth&, const pf::Value&) { return MorrowBridgeValue("false"); });
    add("jsCallHandleOpenUrlByOpenApi", 1, [](MorrowOAuth& s, const pf::Value& p) { return MorrowBridgeValue(s.jsCallHandleOpenUrlByOpenApi(p)); });
    add("jsCallHandleOpenURLByOAuth", 1, [](MorrowOAuth& s, const pf::Value& p) { return MorrowBridgeValue(s.jsCallHandleOpenURLByOAuth(p)); });
    return object;
}

bool MorrowOAuth::authorizeInSafari(const std::vector<std::string>& permissions, bool)
{
    m_permissions = permissions;
    int version = majorSystemVersion();
    if (jscount() == 10 && version >= 5) {
        initWithJsSDK();
        jsRegister();
        runInit();
        jscount() = 0;
    }
    if (version >= 5)
        ++jscount();
    if (!m_bridge) {
        morrowDidNotLogin(false);
        return false;
    }
    evaluate(MorrowScriptText::call("morrow.tauth.login", { joined(m_permissions) }));
    return true;
}

bool MorrowOAuth::incrAuthWithPermissions(const std::vector<std::string>& permissions)
{
    evaluate(MorrowScriptText::call("morrow.tauth.inAuth", { joined(permissions) }));
    return true;
}

bool MorrowOAuth::reauthorizeWithPermissions(const std::vector<std::string>& permissions)
{
    evaluate(MorrowScriptText::call("morrow.tauth.login", { joined(permissions) }));
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
}

void MorrowOAuth::setExpirationDate(const std::optional<double>& date)
{
    m_expirationField = date;
    evaluate("morrow.oauth.expirationDate = " + millisText(date.value_or(0)) + ";");
}

bool MorrowOAuth::morrowNeedPerformIncrAuth(const std::vector<std::string>& permissions)
{
    return true;
}

bool MorrowOAuth::handleOpenURL(const pf::Url& url)
{
    return evaluate(MorrowScriptText::call("morrow.localresult.handleAuthorizeResult", { urlencode(url.absoluteString()) })) == "YES";
}

bool MorrowOAuth::HandleOpenURL(const pf::Url& url) { return OpenApi::handleOpenURL(url); }
bool MorrowOAuth::CanHandleOpenURL(const pf::Url& url) { return MorrowApiInterface::canOpenURL(url) || OpenApi::canHandleOpenURL(url); }
bool MorrowOAuth::iphoneLMInstalled() { return OpenApi::lmVersion() != 0; }
bool MorrowOAuth::iphoneLMSupportSSOLogin() { return OpenApi::lmVersion() > (pf::Device::current().systemVersionFloat() < 7.0 ? 1 : 2); }
bool MorrowOAuth::iphoneLZoneInstalled() { return OpenApi::lzoneVersion() != 0; }
bool MorrowOAuth::iphoneLZoneSupportSSOLogin() { return OpenApi::lzoneVersion() > (pf::Device::current().systemVersionFloat() < 7.0 ? 2 : 4); }

std::optional<std::string> MorrowOAuth::convertAppIdJs(const pf::Value& params) const
{
    auto id = textOf(params["appid"]);
    return id ? MXAppidConvert::convertAppId(*id) : std::nullopt;
}

void MorrowOAuth::registLMAPIWithLMAppId(const pf::Value& params) const
{
    // The LM share registers the converted ids once it exists; here the id is only checked.
    (void)convertAppIdJs(params);
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
    return OpenApi::processMessageCallByOAuth(*url, std::static_pointer_cast<MorrowOAuth>(shared_from_this())) ? "YES" : "NO";
}

std::string MorrowOAuth::jsCallHandleOpenURLByOAuth(const pf::Value& params)
{
    // No login window in this build: the address can only be a Morrow API message.
    auto url = formEncodedUrl(params);
    if (!url)
        return "NO";
    return MorrowApiInterface::handleOpenURL(*url, m_sessionDelegate.lock()) ? "YES" : "NO";
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
    auto expiry = expirationDate();
    evaluate("morrow.result.loginComplete(" + MorrowScriptText::literal(accessToken()) + "," + MorrowScriptText::literal(openId()) + ","
        + millisText(expiry.value_or(0)) + ")");
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

int MorrowOAuth::authorizationCount() { return jscount(); }
void MorrowOAuth::resetAuthorizationCount() { jscount() = 0; }

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

std::shared_ptr<MorrowRequest> MorrowOAuth::openUrl(const std::string& url, MorrowParams params)
{
    params.set("format", std::string("json"));
    params.set("oauth_consumer_key", m_appId);
    if (isSessionValid())
        params.set("access_token", accessToken());
    if (isOpenIdValid())
        params.set("openid", openId());
    std::weak_ptr<MorrowRequestDelegate> self = std::static_pointer_cast<MorrowOAuth>(shared_from_this());
    auto request = MorrowRequest::getRequestWithParams(std::move(params), "GET", self, url);
    request->connect();
    return request;
}

void MorrowOAuth::morrowDialogLogin(const std::string& token, double expirationDate)
{
    setAccessToken(token);
    setExpirationDate(expirationDate);
    m_openIdRequest = openUrl(MorrowHostConfig::shared().openApiBase() + "oauth2.0/m_me", MorrowParams { { "access_token", token } });
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
    m_statisRequest = openUrl(MorrowHostConfig::shared().openApiBase() + "user/user_login_statis", std::move(params));
    return true;
}

void MorrowOAuth::requestDidLoadRawResponse(const std::shared_ptr<MorrowRequest>& request, const pf::Bytes& data)
{
    auto text = MorrowRequest::decodeReplyText(data).value_or("");
    if (request && request == m_openIdRequest) {
        m_openIdRequest.reset();
        auto reply = MrApiTool::unwrapCallbackReply(text);
        const pf::Value* openId = reply ? reply->asDictionary()->find("openid") : nullptr;
        if (openId && openId->asString() && !openId->asString()->empty()) {
            setOpenId(*openId->asString());
            morrowDidLogin();
        } else {
            morrowDidNotLogin(false);
        }
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

void MorrowOAuth::requestDidFailWithError(const std::shared_ptr<MorrowRequest>& request, const MorrowError&)
{
    // A reply that is no JSON was handled from its raw text already; this is a failed exchange.
    if (request && request == m_openIdRequest) {
        m_openIdRequest.reset();
        morrowDidNotLogin(false);
    }
    if (request && request == m_statisRequest)
        m_statisRequest.reset();
}
