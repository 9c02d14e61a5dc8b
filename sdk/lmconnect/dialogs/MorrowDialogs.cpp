#include "sdk/lmconnect/dialogs/MorrowDialogs.h"

#include "sdk/lmconnect/host/MROSDKJSBridge.h"
#include "sdk/lmconnect/host/MorrowScriptText.h"
#include "sdk/lmconnect/analytics/MRDataReport.h"
#include "sdk/lmconnect/apps/MorrowAppLauncher.h"
#include "sdk/lmconnect/apps/MorrowAppVersions.h"
#include "sdk/lmconnect/apps/MorrowSessionDelegate.h"
#include "sdk/lmconnect/dialogs/MorrowDialogsDelegate.h"
#include "sdk/lmconnect/openapi/MROpenSDKErrorUtil.h"
#include "sdk/lmconnect/openapi/URLTools.h"
#include "sdk/lmconnect/web/MRUiKit.h"
#include "sdk/lmconnect/web/MRWebViewKit.h"
#include "sdk/lmconnect/web/URLExtend.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/QueryString.h"
#include "platform/foundation/Url.h"
#include "platform/ui/AlertView.h"

#include <any>

namespace {

constexpr const char* kStoryParams = "sendStoryParams";
constexpr const char* kStoryFriends = "sendStoryIdArray";

const pf::Value* poolValue(const char* key)
{
    auto bridge = MROSDKJSBridge::shareInstance();
    const std::any* parked = bridge ? bridge->getPoolObject(key) : nullptr;
    return parked ? std::any_cast<pf::Value>(parked) : nullptr;
}

}

MorrowDialogs::MorrowDialogs(std::weak_ptr<MorrowDialogsDelegate> session)
    : m_session(std::move(session))
{
}

void MorrowDialogs::alert(const std::string& title, const std::string& message, const std::string& button)
{
    std::make_shared<pf::AlertView>(title, message, std::weak_ptr<pf::AlertViewDelegate>(), button)->show();
}

bool MorrowDialogs::canSend() const
{
    auto session = m_session.lock();
    return session && session->isSessionValid() && session->isOpenIdValid();
}

std::string MorrowDialogs::localEncrytedToken() const
{
    auto session = m_session.lock();
    return session ? session->statisToken() : std::string();
}

bool MorrowDialogs::sendStory(const pf::Dictionary& params, const std::optional<pf::Array>& friendList)
{
    auto bridge = MROSDKJSBridge::shareInstance();
    if (!bridge)
        return false;
    bridge->setPoolObject(kStoryParams, pf::Value(params));
    // A story names its own friends; none named means none, never the last story's.
    bridge->setPoolObject(kStoryFriends, friendList ? std::any(pf::Value(*friendList)) : std::any());
    MROSDKJSBridge::addUserDictionary(pf::Value(params), "sendStory");
    return bridge->jsCall("sendStory", "morrow.localresult", "sendStory");
}

bool MorrowDialogs::checkSendStoryParam(const pf::Dictionary& params)
{
    const pf::Value* title = params.find("title");
    if (title && title->asString() && !URLExtend::trim(*title->asString()).empty())
        return true;
    alert("分享失败", "标题不能为空", "我知道啦");
    return false;
}

std::string MorrowDialogs::sendStoryImple(const pf::Value& script)
{
    auto session = m_session.lock();
    const pf::Value* parked = poolValue(kStoryParams);
    if (!session || !parked || !parked->asDictionary() || !canSend() || !checkSendStoryParam(*parked->asDictionary()))
        return "NO";
    pf::Dictionary story = *parked->asDictionary();
    const pf::Value* friends = poolValue(kStoryFriends);
    const pf::Array* friendList = friends ? friends->asArray() : nullptr;
    if (friendList && friendList->size() > 0)
        MRDataReport::reportDataWithTime(0, std::string("10784"), session->appId(), pf::RunLoop::main().clock().now(), std::nullopt);

    story.set("source", "4");
    for (const char* key : { "title", "summary", "description" }) {
        if (const pf::Value* value = story.find(key); value && value->asString())
            story.set(key, URLExtend::trim(*value->asString()));
    }
    std::string token = script["accesstoken"].optionalString().value_or("");
    std::string openId = script["openid"].optionalString().value_or("");
    std::string receiver;
    if (friendList) {
        for (size_t i = 0; i < friendList->size(); ++i) {
            if (auto id = (*friendList)[i].optionalString())
                receiver += (receiver.empty() ? "" : ",") + *id;
        }
    }
    const std::string& appId = session->appId();
    bool sent;
    if (MorrowAppVersions::lzoneVersion() < 3) {
        story.set("iface", "SendStory");
        story.set("platform", "ioslz");
        story.set("oauth_consumer_key", appId);
        story.set("openid", openId);
        story.set("access_token", token);
        story.set("keytype", "21");
        story.set("receiver", receiver);
        sent = openPage(story, "分享");
    } else {
        story.set("appid", appId);
        story.set("hopenid", openId);
        story.set("keytype", "0x80");
        story.set("keystr", token);
        story.set("platform", "ioslz");
        story.set("type", "21");
        if (friendList)
            story.set("receiver", pf::Value(*friendList));
        sent = MorrowAppLauncher::openLZoneWithCommandStr("1", story);
    }
    MRDataReport::mraReportApi("story");
    return sent ? "YES" : "NO";
}

bool MorrowDialogs::sendAppInvitationWithDescription(const std::string& description, const std::string& imageURL, const std::string& source)
{
    auto session = m_session.lock();
    if (!canSend())
        return false;
    std::string desc = URLExtend::trim(description);
    if (MorrowAppVersions::lzoneVersion() >= 4) {
        return MorrowAppLauncher::openLZoneWithCommandStr("AppInvitation",
            pf::Dictionary { { "appid", session->appId() }, { "hopenid", session->openId() }, { "keytype", "0x80" }, { "keystr", session->accessToken() },
                { "platform", "ioslz" }, { "desc", desc }, { "picurl", imageURL }, { "app_custom", source } });
    }
    return openPage(pf::Dictionary { { "iface", "AppInvitation" }, { "platform", "ioslz" }, { "oauth_consumer_key", session->appId() },
                        { "openid", session->openId() }, { "access_token", session->accessToken() }, { "encrytoken", localEncrytedToken() },
                        { "desc", desc }, { "picurl", imageURL }, { "source", source } },
        "应用邀请");
}

bool MorrowDialogs::sendChallenge(const std::string& receiver, const std::string& type, const std::string& imageURL, const std::string& message,
    const std::string& source)
{
    auto session = m_session.lock();
    if (!canSend())
        return false;
    if (receiver.empty() || (type != "pk" && type != "brag")) {
        alert("挑战炫耀", "参数错误: (receiver.length > 0 && ([type isEqualToString:@\"pk\"] || [type isEqualToString:@\"brag\"]))", "OK");
        return false;
    }
    std::string msg = URLExtend::trim(message);
    if (MorrowAppVersions::lzoneVersion() >= 4) {
        return MorrowAppLauncher::openLZoneWithCommandStr("AppChallenge",
            pf::Dictionary { { "appid", session->appId() }, { "hopenid", session->openId() }, { "keytype", "0x80" }, { "keystr", session->accessToken() },
                { "platform", "ioslz" }, { "typeid", type == "pk" ? "53" : "52" }, { "receiver", receiver }, { "picurl", imageURL },
                { "sendmsg", msg }, { "app_custom", source } });
    }
    return openPage(pf::Dictionary { { "iface", "AppChallenge" }, { "platform", "ioslz" }, { "oauth_consumer_key", session->appId() },
                        { "openid", session->openId() }, { "access_token", session->accessToken() }, { "encrytoken", localEncrytedToken() },
                        { "receiver", receiver }, { "type", type }, { "img", imageURL }, { "msg", msg }, { "source", source } },
        type == "pk" ? "发送挑战" : "向TA炫耀");
}

bool MorrowDialogs::sendGiftRequest(const std::string& receiver, const std::string& exclude, const std::string& specified, bool only,
    const std::string& type, const std::string& title, const std::string& message, const std::string& imageURL, const std::string& source)
{
    auto session = m_session.lock();
    if (!canSend())
        return false;
    if (type != "request" && type != "freegift") {
        alert("请求/赠送礼物", "参数错误: (([type isEqualToString:@\"request\"] || [type isEqualToString:@\"freegift\"]))", "OK");
        return false;
    }
    std::string msg = URLExtend::trim(message);
    std::string onlyText = only ? "1" : "0";
    if (MorrowAppVersions::lzoneVersion() >= 4) {
        return MorrowAppLauncher::openLZoneWithCommandStr("AppGiftRequest",
            pf::Dictionary { { "appid", session->appId() }, { "hopenid", session->openId() }, { "keytype", "0x80" }, { "keystr", session->accessToken() },
                { "platform", "ioslz" }, { "typeid", type == "request" ? "50" : "1" }, { "receiver", receiver }, { "picurl", imageURL },
                { "sendmsg", msg }, { "title", title }, { "app_custom", source }, { "exclude", exclude }, { "specified", specified },
                { "only", onlyText } });
    }
    return openPage(pf::Dictionary { { "iface", "AppGiftRequest" }, { "platform", "ioslz" }, { "oauth_consumer_key", session->appId() },
                        { "openid", session->openId() }, { "access_token", session->accessToken() }, { "encrytoken", localEncrytedToken() },
                        { "receiver", receiver }, { "type", type }, { "img", imageURL }, { "msg", msg }, { "title", title }, { "source", source },
                        { "exclude", exclude }, { "specified", specified }, { "only", onlyText } },
        type == "request" ? "请求礼物" : "赠送礼物");
}

bool MorrowDialogs::openPage(const pf::Dictionary& params, const std::string& title)
{
    auto session = m_session.lock();
    auto main = pf::Bundle::main();
    auto bundle = main ? main->nestedBundle(kBundleName) : nullptr;
    auto path = bundle ? bundle->pathForResource(kLocalPage, "html") : std::nullopt;
    if (!session || !path)
        return false;
    // The page reads only texts; a list of friends is already joined.
    pf::Dictionary texts;
    for (const auto& [name, value] : params) {
        if (value.asString())
            texts.set(name, value);
    }
    auto address = URLTools::GetURLWithParam(pf::Url::fileUrl(*path).absoluteString(), texts);
    if (!address)
        return false;
    if (!m_mrUiKit)
        m_mrUiKit = std::make_shared<MRUiKit>(session->appId());
    return m_mrUiKit->popWebViewWnd(*address, title, shared_from_this());
}

pf::Dictionary MorrowDialogs::queryDictionary(const std::optional<std::string>& query)
{
    pf::Dictionary result;
    if (!query)
        return result;
    const pf::QueryString::Rules rules { .pieces = pf::QueryString::Pieces::WithOneEquals, .names = pf::QueryString::Escapes::Kept,
        .values = pf::QueryString::Escapes::ResolvedOrKept };
    for (auto& item : pf::QueryString::parse(*query, rules))
        result.set(std::move(item.name), std::move(*item.value));
    return result;
}

bool MorrowDialogs::isWindowOf(const std::shared_ptr<MRUiKit>& holder, const MRWebViewKit& kit) const
{
    return holder && holder->webViewKit().get() == &kit;
}

void MorrowDialogs::answer(const std::string& address)
{
    auto session = m_session.lock();
    auto url = pf::Url::fromString(address);
    auto delegate = session ? session->sessionDelegate() : nullptr;
    if (!url || url->host().empty() || !delegate)
        return;
    std::string path = url->path();
    int code;
    int retCode;
    if (path == "/success") {
        code = 0;
        retCode = 0;
    } else if (path == "/cancel") {
        code = 2;
        retCode = 1;
    } else if (path == "/fail") {
        code = 12;
        retCode = 1; // a failure is never reported as success
    } else {
        return;
    }
    auto response = MROpenSDKErrorUtil::apiResponseFromErrorCode(code);
    response->retCode = retCode;
    response->detailRetCode = code;
    response->jsonResponse = pf::Value(queryDictionary(url->query()));
    if (url->host() == "SendStory")
        delegate->sendStoryResponse(response);
    else
        delegate->responseDidReceived(response, url->host());
}

bool MorrowDialogs::webViewKitShouldStartLoadWithRequest(MRWebViewKit& kit, const pf::UrlRequest& request, pf::WebNavigationType)
{
    auto self = shared_from_this();
    auto session = m_session.lock();
    if (isWindowOf(m_mrUiKit, kit)) {
        auto url = pf::Url::fromString(request.url());
        if (!session || !url || !url->hasScheme("morrow" + session->appId()))
            return true;
        // The window is on its way out before the delegate hears the answer.
        kit.doClose();
        answer(request.url());
        return false;
    }
    if (isWindowOf(m_mrJSUiKit, kit)) {
        auto bridge = MROSDKJSBridge::shareInstance();
        return bridge && bridge->evaluateJavascript(MorrowScriptText::call("appUtils.nativeWebViewCallback", { request.url() })) == "true";
    }
    return true;
}

void MorrowDialogs::webViewKitDidLoadWithNetworkError(MRWebViewKit& kit, const pf::UrlError&)
{
    if (!isWindowOf(m_mrJSUiKit, kit))
        return;
    std::weak_ptr<MRWebViewKit> weak = kit.shared_from_this();
    pf::RunLoop::main().post([weak] {
        if (auto window = weak.lock())
            window->doClose();
    });
}

bool MorrowDialogs::openNativeWebView(const std::optional<std::string>& url, const std::optional<std::string>& title)
{
    auto session = m_session.lock();
    if (!session || !url || url->empty())
        return false;
    if (!m_mrJSUiKit)
        m_mrJSUiKit = std::make_shared<MRUiKit>(session->appId());
    std::weak_ptr<MorrowDialogs> weak = shared_from_this();
    std::string address = *url;
    std::optional<std::string> heading = title;
    pf::RunLoop::main().post([weak, address, heading] {
        if (auto self = weak.lock())
            self->m_mrJSUiKit->popWebViewWnd(address, heading, self);
    });
    return true;
}

void MorrowDialogs::closeNativeWebView()
{
    if (!m_mrJSUiKit)
        return;
    std::weak_ptr<MRWebViewKit> weak = m_mrJSUiKit->webViewKit();
    pf::RunLoop::main().post([weak] {
        if (auto window = weak.lock())
            window->doClose();
    });
}
