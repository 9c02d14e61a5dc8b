#include "screens/gifts/WebDetailPageViewController.h"

#include "core/NetworkParameterAssistant.h"
#include "core/NetworkRequestor.h"
#include "core/managers/LoginManager.h"
#include "core/views/CustomControlApperanceCreator.h"
#include "core/views/LoadingPromptView.h"
#include "core/views/PromptViewCreator.h"
#include "platform/foundation/Url.h"
#include "platform/ui/NavigationController.h"

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
}

void WebDetailPageViewController::viewWillAppear(bool animated)
{
    AdaptedViewController::viewWillAppear(animated);
    if (m_webDetailPageType == kPortalPageType && !m_infoKeeper.empty())
        m_urlString = m_infoKeeper.front();
    if (!m_isLoadedFinished && !m_loadingPromptView) {
        m_loadingPromptView = LoadingPromptView::create(view()->bounds());
        view()->addSubview(m_loadingPromptView);
    }
}

void WebDetailPageViewController::viewWillDisappear(bool animated)
{
    AdaptedViewController::viewWillDisappear(animated);
}

void WebDetailPageViewController::loadFinished()
{
    m_isLoadedFinished = true;
    if (m_loadingPromptView)
        m_loadingPromptView->removeFromSuperview();
}

void WebDetailPageViewController::loadFailed(const std::string& reason)
{
    if (m_loadingPromptView)
        m_loadingPromptView->removeFromSuperview();
    PromptViewCreator::sharedInstance()->showPromptViewWithMessage(reason.empty() ? kLoadFailed : std::string(kLoadFailed) + "：" + reason);
}

void WebDetailPageViewController::popViewController()
{
    if (auto navigation = navigationController())
        navigation->popViewController(true);
}
