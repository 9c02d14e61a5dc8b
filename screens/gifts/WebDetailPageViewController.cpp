#include "screens/gifts/WebDetailPageViewController.h"

#include "core/NetworkParameterAssistant.h"
#include "core/NetworkRequestor.h"
#include "core/managers/LoginManager.h"
#include "core/views/CustomControlApperanceCreator.h"
#include "core/views/LoadingPromptView.h"
#include "core/views/PromptViewCreator.h"
#include "platform/foundation/Url.h"
#include "platform/ui/NavigationController.h"
#include "platform/web/WebView.h"

namespace {

// Form escaping of a name or value: whatever a form decoder would read otherwise ("&", "=",
// "+", "%", blanks, non-ASCII) is escaped; a web address keeps its ":" and "/".
std::string formEscape(const std::string& text)
{
    return pf::Url::escape(text, "&=+#;?");
}

}

WebDetailPageViewController::~WebDetailPageViewController() = default;

std::string WebDetailPageViewController::markedAddress(const std::string& urlString)
{
    size_t question = urlString.find('?');
    if (question == std::string::npos)
        return urlString + "?" + kPageMarker;
    char last = urlString.back();
    return urlString + (last == '?' || last == '&' ? "" : "&") + kPageMarker;
}

pf::UrlRequest WebDetailPageViewController::pageRequest(const std::string& urlString)
{
    pf::UrlRequest request(markedAddress(urlString));
    request.setMethod("POST");
    // Without a token the parameters are signed over no token, and no credential is claimed.
    auto token = LoginManager::sharedInstance()->getUserToken();
    if (token && !token->empty()) {
        std::string authorization = "OAuth usertoken=\"" + *token + "\"";
        if (NetworkRequestor::isSafeHeaderValue(authorization))
            request.setValue(authorization, "Authorization");
    }
    std::string body;
    for (const auto& [name, value] : NetworkParameterAssistant::parametersForWAPForumLogin())
        body += (body.empty() ? "" : "&") + formEscape(name) + "=" + formEscape(value);
    request.setBody(body);
    return request;
}

void WebDetailPageViewController::viewDidLoad()
{
    AdaptedViewController::viewDidLoad();
    m_isLoadedFinished = false;
    onAction("popViewController:", [this](const std::shared_ptr<pf::View>&) { popViewController(); });
    CustomControlApperanceCreator::assignCustomBackBarButtonItem(sharedController(), "back.png",
        CustomControlApperanceCreator::backImageFrame(), "popViewController:");
    fetchWebView();
}

void WebDetailPageViewController::fetchWebView()
{
    m_webView = std::make_shared<pf::WebView>(view()->bounds());
    m_webView->setBackgroundColor(pf::Color::clear());
    view()->addSubview(m_webView);
}

void WebDetailPageViewController::viewWillAppear(bool animated)
{
    AdaptedViewController::viewWillAppear(animated);
    m_webView->setFrame(view()->bounds());
    // Set here rather than once: leaving the screen clears it.
    m_webView->setDelegate(std::static_pointer_cast<WebDetailPageViewController>(shared_from_this()));
    if (m_webDetailPageType == kPortalPageType && !m_infoKeeper.empty())
        m_urlString = m_infoKeeper.front();
    if (!m_urlString.empty())
        m_webView->loadRequest(pageRequest(m_urlString));
    if (!m_isLoadedFinished && !m_loadingPromptView) {
        m_loadingPromptView = LoadingPromptView::create(view()->bounds());
        view()->addSubview(m_loadingPromptView);
    }
    doPageviewStartStat(m_urlString);
}

void WebDetailPageViewController::viewWillDisappear(bool animated)
{
    if (m_webView)
        m_webView->setDelegate({});
    doPageviewEndStat(m_urlString);
    AdaptedViewController::viewWillDisappear(animated);
}

void WebDetailPageViewController::webViewDidFinishLoad(pf::WebView&)
{
    m_isLoadedFinished = true;
    if (m_loadingPromptView)
        m_loadingPromptView->removeFromSuperview();
}

void WebDetailPageViewController::webViewDidFailLoadWithError(pf::WebView&, const pf::UrlError& error)
{
    // A load replaced by the next one (the screen shown again) is no failure.
    if (error.domain == pf::UrlError::kDomain && error.code == pf::UrlError::Cancelled)
        return;
    const std::string& reason = error.description;
    if (m_loadingPromptView)
        m_loadingPromptView->removeFromSuperview();
    PromptViewCreator::sharedInstance()->showPromptViewWithMessage(reason.empty() ? kLoadFailed : std::string(kLoadFailed) + "：" + reason);
}

void WebDetailPageViewController::popViewController()
{
    if (auto navigation = navigationController())
        navigation->popViewController(true);
}
