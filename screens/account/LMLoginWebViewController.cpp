#include "screens/account/LMLoginWebViewController.h"

#include "core/AppInfoConfiguration.h"
#include "core/NetworkParameterAssistant.h"
#include "core/NetworkRequestor.h"
#include "core/PortalReplyEnvelope.h"
#include "core/UserTokenStore.h"
#include "core/managers/LoginManager.h"
#include "core/records/UserLoginInfo.h"
#include "core/views/CustomControlApperanceCreator.h"
#include "core/views/PromptViewCreator.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Url.h"
#include "platform/ui/NavigationController.h"
#include "platform/web/PageBridge.h"
#include "platform/web/WebView.h"

#include <algorithm>

namespace {

// "host" or "host:port" of an address; none when it has no host.
std::optional<std::string> hostOf(const std::string& address)
{
    auto url = pf::Url::fromString(address);
    if (!url || url->host().empty())
        return std::nullopt;
    std::string host = url->host();
    if (url->port())
        host += ":" + std::to_string(*url->port());
    return host;
}

std::string textOf(const pf::Value& value)
{
    const std::string* text = value.asString();
    return text ? *text : std::string();
}

}

LMLoginWebViewController::LMLoginWebViewController()
{
    onAction("popViewController:", [this](const std::shared_ptr<pf::View>&) { popViewController(); });
}

LMLoginWebViewController::~LMLoginWebViewController()
{
    pf::RunLoop::main().cancelAll(this);
}

std::shared_ptr<LMLoginWebViewController> LMLoginWebViewController::self()
{
    return std::static_pointer_cast<LMLoginWebViewController>(shared_from_this());
}

std::optional<std::string> LMLoginWebViewController::forumHost()
{
    return hostOf(AppInfoConfiguration::sharedInstance()->forumBaseURL());
}

std::string LMLoginWebViewController::pageAddress()
{
    auto host = forumHost();
    if (!host)
        return {};
    std::string referer = "http%3A%2F%2F";
    for (char c : *host)
        referer += c == ':' ? std::string("%3A") : std::string(1, c);
    referer += "%2F";
    return "http://" + *host + "/connect.php?mod=login&op=init&referer=" + referer + "&statfrom=login_simple&qelmid=vebrok_ios";
}

void LMLoginWebViewController::viewDidLoad()
{
    AdaptedViewController::viewDidLoad();
    CustomControlApperanceCreator::assignCustomBackBarButtonItem(sharedController(), "back.png",
        CustomControlApperanceCreator::backImageFrame(), "popViewController:");
}

void LMLoginWebViewController::viewWillAppear(bool animated)
{
    AdaptedViewController::viewWillAppear(animated);
    if (m_bridge)
        return;
    fetchWebView();
    fetchBridge();
    // Loaded once the bridge stands between the page and this screen, so that the first
    // navigation asks the page too.
    std::string address = pageAddress();
    if (!address.empty())
        m_webView->loadRequest(pf::UrlRequest(address));
}

void LMLoginWebViewController::fetchWebView()
{
    if (m_webView)
        return;
    m_webView = std::make_shared<pf::WebView>(view()->bounds());
    m_webView->setBackgroundColor(pf::Color::clear());
    view()->addSubview(m_webView);
}

void LMLoginWebViewController::fetchBridge()
{
    // The page may call the app; nothing it says is acted on. Only the app's question matters.
    auto ignore = [](const pf::Value&, const pf::PageBridge::ResponseCallback&) { };
    m_bridge = pf::PageBridge::bridgeForWebView(m_webView, std::weak_ptr<pf::WebViewDelegate>(self()), ignore);
    m_bridge->registerHandler(kHandlerName, ignore);
}

bool LMLoginWebViewController::webViewShouldStartLoadWithRequestNavigationType(pf::WebView&, const pf::UrlRequest&, pf::WebNavigationType)
{
    askPage();
    return true;
}

void LMLoginWebViewController::askPage()
{
    if (!m_bridge)
        return;
    std::weak_ptr<LMLoginWebViewController> weak = self();
    m_bridge->callHandler(kHandlerName, pf::Value(), [weak](const pf::Value& answer) {
        auto strong = weak.lock();
        if (strong && strong->m_webView)
            strong->lmLoginAnswered(answer, strong->m_webView->url());
    });
}

void LMLoginWebViewController::popViewController()
{
    if (auto navigation = navigationController())
        navigation->popViewController(true);
}

void LMLoginWebViewController::lmLoginAnswered(const pf::Value& answer, const std::string& pageURL)
{
    if (m_isLMLoginRequested || !answer.isDictionary())
        return;
    // A page elsewhere (one the forum page led to, or one put in its place) cannot log the app in.
    auto url = pf::Url::fromString(pageURL);
    auto forum = forumHost();
    if (!url || !forum || hostOf(pageURL) != forum || !(url->hasScheme("http") || url->hasScheme("https")))
        return;
    requestLMLogin(answer["webauth"], answer["saltkey"]);
    m_isLMLoginRequested = true;
}

void LMLoginWebViewController::requestLMLogin(const pf::Value& webauth, const pf::Value& saltKey)
{
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::UserWebLM);
    if (!address)
        return;
    auto parameters = NetworkParameterAssistant::parametersForLoginWithLM(textOf(webauth), textOf(saltKey));
    // A value the page did not give is left out rather than sent empty.
    if (!webauth.asString())
        parameters.erase("webauth");
    if (!saltKey.asString())
        parameters.erase("saltkey");
    m_lmLoginNetworkRequestor = NetworkRequestor::create();
    m_lmLoginNetworkRequestor->startPostMethodURLConnection(*address, parameters, false, self());
}

void LMLoginWebViewController::networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data)
{
    if (!requestor)
        return;
    if (requestor == m_userLogoutPreviousLoginNetworkRequestor) {
        // Housekeeping: the screens have already left.
        m_userLogoutPreviousLoginNetworkRequestor.reset();
        return;
    }
    if (requestor != m_lmLoginNetworkRequestor)
        return;
    m_lmLoginNetworkRequestor.reset();
    lmLoginDidFinished(data);
}

void LMLoginWebViewController::lmLoginDidFinished(const pf::Bytes& data)
{
    auto reply = PortalReplyEnvelope::parse(data);
    auto info = reply.isSuccess() && reply.body().isDictionary() ? UserLoginInfo::itemFromDictionary(reply.body()) : nullptr;
    if (!info || info->usertoken().text().empty() || !UserTokenStore::canKeep(info->usertoken().text())) {
        std::string message = reply.message();
        PromptViewCreator::sharedInstance()->showPromptViewWithMessage(!reply.isSuccess() && !message.empty() ? message : kLoginFailed);
        return;
    }
    // The new token is kept first: one the disk does not take fails the login as a refused
    // reply does, and the previous login stays as it was, on the portal too.
    auto manager = LoginManager::sharedInstance();
    auto previous = manager->getUserToken();
    if (!manager->recordUserToken(info->usertoken().text())) {
        PromptViewCreator::sharedInstance()->showPromptViewWithMessage(kLoginFailed);
        return;
    }
    logoutWithPreviousUserToken(previous, info->usertoken().text());
    uint64_t generation = manager->loginGeneration();
    auto keepAlive = self();
    pf::Value whole = reply.reply();
    pf::RunLoop::main().postDelayed(kLoginNotificationDelay,
        [keepAlive, whole, generation] { keepAlive->postUserLoginNotification(whole, generation); }, this);
    dismiss();
}

bool LMLoginWebViewController::logoutWithPreviousUserToken(const std::optional<std::string>& previous, const std::string& newToken)
{
    if (!previous || previous->empty() || *previous == newToken)
        return false;
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::UserLogout);
    if (!address)
        return false;
    // The new token is recorded by now: the logout carries the previous one as it was read.
    m_userLogoutPreviousLoginNetworkRequestor = NetworkRequestor::create();
    m_userLogoutPreviousLoginNetworkRequestor->startPostMethodURLConnectionWithUserToken(*address,
        NetworkParameterAssistant::parametersForUserLogout(), *previous, self());
    return true;
}

void LMLoginWebViewController::postUserLoginNotification(const pf::Value& reply, uint64_t loginGeneration)
{
    LoginManager::sharedInstance()->postUserLogin(reply, loginGeneration);
}

void LMLoginWebViewController::dismiss()
{
    auto navigation = navigationController();
    if (!navigation)
        return;
    const auto& stack = navigation->viewControllers();
    if (stack.size() >= 3)
        navigation->popToViewController(stack[stack.size() - 3], true);
}
