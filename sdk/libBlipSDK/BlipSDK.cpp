#include "sdk/libBlipSDK/BlipSDK.h"

#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Application.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/QueryString.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Url.h"
#include "sdk/libBlipSDK/BPAuthorizeRequest.h"
#include "sdk/libBlipSDK/BPAuthorizeResponse.h"
#include "sdk/libBlipSDK/BPAuthorizeWebView.h"
#include "sdk/libBlipSDK/BPBaseRequest.h"
#include "sdk/libBlipSDK/BPBaseResponse.h"
#include "sdk/libBlipSDK/BPHttpRequest.h"
#include "sdk/libBlipSDK/BlipSDK3rdApp.h"
#include "sdk/libBlipSDK/BlipText.h"
#include "sdk/libBlipSDK/InstallBlipAppAlert.h"

#include <cctype>

namespace blip {

namespace {

struct State {
    std::optional<std::string> appKey;
    std::map<std::string, pf::Dictionary> requestUserInfoCache;
    bool debug { false };
};

State& state()
{
    // A new launch forgets the registration and what was kept with it.
    static State& s = [] () -> State& {
        static State made;
        pf::ResetRegistry::add([] { made = State {}; });
        return made;
    }();
    return s;
}

}

pf::HostTable& BlipSDK::hosts()
{
    static pf::HostTable& table = *new pf::HostTable({
        { kWebAuthorizeHost, "https://open.blip.invalid", "blip" },
        { kApiHost, "https://api.blip.invalid", "blip" },
        { kMobileApiHost, "https://m.api.blip.invalid", "blip" },
        { kDownloadPage, "http://app.blip.invalid/appdetail.php?appID=84560", std::nullopt },
        { kAppStorePage, "http://appstore.invalid/cn/app/id350962117?mt=8", std::nullopt },
    });
    return table;
}

void BlipSDK::enableDebugMode(bool enabled)
{
    state().debug = enabled;
}

bool BlipSDK::isDebugModeEnabled()
{
    return state().debug;
}

void BlipSDK::debugLog(const std::string& text)
{
    if (state().debug)
        pf::Log::line(text);
}

std::optional<std::string> BlipSDK::registeredAppKey()
{
    return state().appKey;
}

std::string BlipSDK::callbackSchemePrefix()
{
    const auto& key = state().appKey;
    return key ? BlipSDK3rdApp::callbackSchemeWithAppKey(*key) : BlipSDK3rdApp::callbackSchemePrefix();
}

bool BlipSDK::registerAppWithAppKey(const std::string& appKey)
{
    if (appKey.empty()) {
        debugLog("BlipSDK registerApp error : appKey不能为空");
        return false;
    }
    state().appKey = appKey;
    return registerAppWithApp(*BlipSDK3rdApp::currentApp());
}

bool BlipSDK::registerAppWithApp(const BlipSDK3rdApp& app)
{
    auto board = pf::Pasteboard::withName(registedAppsPasteboardName(), true);
    if (!board)
        return true;
    board->setPersistent(true);
    std::string key = app.appKey.value_or("");
    std::vector<pf::Pasteboard::Item> items = board->items();
    pf::Pasteboard::Item item { { key, pf::KeyedArchiver::archivedValue(BlipSDK3rdApp::dictionaryWithApp(app)) } };
    bool replaced = false;
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        if (!it->empty() && it->begin()->first == key) {
            *it = item;
            replaced = true;
            break;
        }
    }
    if (!replaced)
        items.insert(items.begin(), item);
    board->setItems(std::move(items));
    return true;
}

bool BlipSDK::canOpen(const std::string& url)
{
    return pf::Application::shared().canOpenURL(std::string_view(url));
}

bool BlipSDK::isBlipAppInstalled()
{
    return canOpen("sableblip://");
}

std::optional<std::string> BlipSDK::deprecatedBlipAppSupportMaxSDKVersion()
{
    if (canOpen("blipsdk://"))
        return std::string(kSDKVersion);
    if (isBlipAppInstalled())
        return std::string("1.0");
    return std::nullopt;
}

std::optional<std::string> BlipSDK::getBlipAppSupportMaxSDKVersion()
{
    return deprecatedBlipAppSupportMaxSDKVersion();
}

bool BlipSDK::openBlipApp()
{
    auto url = pf::Url::fromString(canOpen("blipsdk://") ? "blipsdk://" : "sableblip://");
    return url && pf::Application::shared().openURL(*url);
}

bool BlipSDK::canAccessPrivatePasteboard()
{
    return pf::Device::current().systemMajorVersion() < 7;
}

std::shared_ptr<pf::Pasteboard> BlipSDK::pasteboardWithName(const std::string& name, bool create)
{
    if (!canAccessPrivatePasteboard())
        return pf::Pasteboard::general();
    auto board = pf::Pasteboard::withName(name, create);
    if (board && create)
        board->setPersistent(true);
    return board;
}

void BlipSDK::removePasteboardWithName(const std::string& name)
{
    if (canAccessPrivatePasteboard())
        pf::Pasteboard::remove(name);
    else
        pf::Pasteboard::general()->setItems({});
}

std::optional<pf::Dictionary> BlipSDK::takeCachedRequestUserInfo(const std::string& requestID)
{
    auto& cache = state().requestUserInfoCache;
    auto found = cache.find(requestID);
    if (found == cache.end())
        return std::nullopt;
    pf::Dictionary info = std::move(found->second);
    cache.erase(found);
    return info;
}

size_t BlipSDK::cachedRequestUserInfoCount()
{
    return state().requestUserInfoCache.size();
}

bool BlipSDK::sendRequest(const std::shared_ptr<BPBaseRequest>& request)
{
    if (!request)
        return false;
    if (!canAccessPrivatePasteboard() && request->userInfo && request->requestID)
        state().requestUserInfoCache[*request->requestID] = *request->userInfo;
    request->app = BlipSDK3rdApp::currentApp();
    return openAppWithTransferObject(request);
}

bool BlipSDK::sendResponse(const std::shared_ptr<BPBaseResponse>& response)
{
    if (!response)
        return false;
    response->app = BlipSDK3rdApp::currentApp();
    return openAppWithTransferObject(response);
}

bool BlipSDK::openAppWithTransferObject(const std::shared_ptr<BPDataTransferObject>& object)
{
    debugLog("BlipSDK openAppWithTransferObject");
    if (!object)
        return false;
    const std::string name = object->className();
    if (!state().appKey) {
        debugLog("BlipSDK send " + name + " error : 尚未注册第三方应用，请先调用 [BlipSDK registerApp:] 方法注册");
        return false;
    }
    if (auto message = object->validateBeforeSend()) {
        debugLog("BlipSDK send " + name + " error : " + *message);
        return false;
    }
    if (!object->app) {
        debugLog("BlipSDK send " + name + " error : object.app 不能为空");
        return false;
    }
    if (!object->writeToPasteboard()) {
        debugLog("BlipSDK send " + name + " error : the transfer object cannot be stored (a text it holds is not UTF-8 or holds a NUL)");
        return false;
    }

    auto request = std::dynamic_pointer_cast<BPBaseRequest>(object);
    auto authorize = std::dynamic_pointer_cast<BPAuthorizeRequest>(object);
    auto version = deprecatedBlipAppSupportMaxSDKVersion();
    if (version == std::optional<std::string>(kSDKVersion)) {
        debugLog("BlipSDK sending " + name + " bundleID=(" + object->app->bundleID.value_or("") + ")");
        auto url = pf::Url::fromString(object->openBlipAppScheme());
        return url && pf::Application::shared().openURL(*url);
    }
    if (version) {
        debugLog("BlipSDK 当前闪讯客户端不支持新版BlipSDK");
        if (authorize) {
            BPAuthorizeWebView::showForRequest(authorize);
        } else if (request) {
            auto response = request->makeResponse();
            response->statusCode = BPBaseResponse::kStatusUnsupported;
            response->requestID = request->requestID;
            directlySendResponseToCurrentApp(response);
        }
        return true;
    }
    debugLog("BlipSDK send " + name + " : 尚未安装闪讯客户端程序");
    if (authorize) {
        BPAuthorizeWebView::showForRequest(authorize);
        return true;
    }
    if (!object->shouldOpenBlipAppInstallPageIfNotInstalled)
        return false;
    debugLog("BlipSDK 将询问是否打开闪讯客户端程序的安装页面");
    InstallBlipAppAlert::alertWithTransferObject(object);
    return true;
}

bool BlipSDK::handleOpenURL(const pf::Url& url, const std::shared_ptr<BlipSDKDelegate>& delegate)
{
    const std::string& text = url.absoluteString();
    debugLog("BlipSDK handleOpenURL " + text);
    if (!text.starts_with(callbackSchemePrefix()))
        return false;
    auto id = queryValueWithName("id", text);
    if (!id)
        return true;
    if (url.host() == "request") {
        auto request = BPBaseRequest::objectFromPasteboardWithID(*id);
        if (!request)
            return true;
        if (auto message = request->validateAfterReceive()) {
            debugLog("BlipSDK didReceiveUnSupportedRequest error : " + *message + " (" + request->className() + ")");
            didReceiveUnSupportedRequest(request);
        } else {
            debugLog("BlipSDK didReceiveBlipRequest " + request->className());
            if (delegate)
                delegate->didReceiveBlipRequest(request);
        }
        return true;
    }
    if (url.host() == "response") {
        auto response = BPBaseResponse::objectFromPasteboardWithID(*id);
        if (!response)
            return true;
        // Read whole above; the pasteboards go before the delegate may stage something new.
        response->removeFromPasteboard();
        if (auto message = response->validateAfterReceive()) {
            debugLog("BlipSDK didReceiveUnSupportedResponse error : " + *message + " (" + response->className() + ")");
            didReceiveUnSupportedResponse(response);
        } else {
            debugLog("BlipSDK didReceiveBlipResponse " + response->className());
            if (delegate)
                delegate->didReceiveBlipResponse(response);
        }
    }
    return true;
}

void BlipSDK::didReceiveUnSupportedRequest(const std::shared_ptr<BPBaseRequest>& request)
{
    auto response = std::make_shared<BPBaseResponse>();
    response->app = request->app;
    response->statusCode = BPBaseResponse::kStatusUnsupported;
    response->requestID = request->requestID;
    pf::RunLoop::main().postDelayed(0.5, [response] { openAppWithTransferObject(response); });
}

void BlipSDK::directlySendResponseToCurrentApp(const std::shared_ptr<BPBaseResponse>& response)
{
    response->app = BlipSDK3rdApp::currentApp();
    std::shared_ptr<BPBaseResponse> answer = response;
    if (!response->writeToPasteboard()) {
        debugLog("BlipSDK send " + response->className()
            + " error : the transfer object cannot be stored (a text it holds is not UTF-8 or holds a NUL)");
        // An authorisation whose outcome cannot be handed on (a token holding a NUL) has failed:
        // the app is told so, with nothing of the page, rather than waiting for an answer that
        // never comes.
        auto authorization = std::dynamic_pointer_cast<BPAuthorizeResponse>(response);
        if (!authorization)
            return;
        auto failed = BPAuthorizeResponse::response();
        failed->statusCode = BPBaseResponse::kStatusAuthFailed;
        failed->requestID = authorization->requestID;
        failed->app = response->app;
        if (!failed->writeToPasteboard())
            return;
        debugLog("BlipSDK the authorisation is answered as failed (" + std::to_string(failed->statusCode) + ")");
        answer = failed;
    }
    auto url = pf::Url::fromString(answer->open3rdAppSchemeWithAppKey(answer->app->appKey.value_or("")));
    if (!url)
        return;
    pf::RunLoop::main().post([url = *url] { pf::Application::shared().deliverOpenURL(url, kBlipBundleIdentifier); });
}

void BlipSDK::didReceiveAuthorizeResponseFromAuthorizeWebView(const std::shared_ptr<BPAuthorizeResponse>& response,
    BPAuthorizeWebView& webView)
{
    webView.hide();
    directlySendResponseToCurrentApp(response);
}

std::optional<std::string> BlipSDK::queryValueWithName(const std::string& name, const std::string& urlString)
{
    std::string needle = name.ends_with("=") ? name : name + "=";
    auto lower = [](std::string s) {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    size_t at = lower(urlString).find(lower(needle));
    if (at == std::string::npos)
        return std::nullopt;
    if (at > 0 && urlString[at - 1] != '?' && urlString[at - 1] != '&' && urlString[at - 1] != '#')
        return std::nullopt;
    size_t start = at + needle.size();
    size_t end = urlString.find_first_of("&#", start);
    return BlipText::unescape(urlString.substr(start, end == std::string::npos ? std::string::npos : end - start));
}

std::map<std::string, std::string> BlipSDK::queryDictionaryOfURLQueryUsingEncoding(const std::string& query,
    pf::TextEncoding::Charset encoding)
{
    const pf::QueryString::Rules rules { .pieces = pf::QueryString::Pieces::WithOneEquals,
        .names = pf::QueryString::Escapes::ResolvedOrSkipped, .values = pf::QueryString::Escapes::ResolvedOrSkipped,
        .separators = "&;", .charset = encoding };
    std::map<std::string, std::string> pairs;
    for (auto& item : pf::QueryString::parse(query, rules))
        pairs[std::move(item.name)] = std::move(*item.value);
    return pairs;
}

std::string BlipSDK::serializeURLStringWithParams(const std::string& base,
    const std::vector<std::pair<std::string, std::string>>& params)
{
    size_t hash = base.find('#');
    std::string address = base.substr(0, hash);
    std::string separator = address.find('?') != std::string::npos ? "&" : "?";
    std::string pairs;
    for (const auto& [name, value] : params) {
        if (!pairs.empty())
            pairs += "&";
        pairs += name + "=" + BlipText::escapeQueryValue(value);
    }
    std::string result = address + separator + pairs;
    if (hash != std::string::npos)
        result += "#" + base.substr(hash + 1);
    return result;
}

void BlipSDK::logOutWithToken(const std::string& token, const std::weak_ptr<BPHttpRequestDelegate>& delegate,
    const std::string& tag)
{
    BPHttpRequest::requestWithAccessToken(token, hosts().address(kApiHost) + "/oauth2/revokeoauth2", "GET", {}, delegate, tag);
}

void BlipSDK::inviteFriend(const std::string& data, const std::string& uid, const std::string& token,
    const std::weak_ptr<BPHttpRequestDelegate>& delegate, const std::string& tag)
{
    BPHttpRequest::requestWithAccessToken(token, hosts().address(kMobileApiHost) + "/2/messages/invite.json", "POST",
        { { "uid", uid }, { "data", data } }, delegate, tag);
}

}
