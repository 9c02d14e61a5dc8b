#include "sdk/lmconnect/web/MRUiKit.h"

#include "sdk/lmconnect/web/MRWebViewKit.h"

bool MRUiKit::popWebViewWnd(std::string url, std::optional<std::string> webTitle, std::weak_ptr<MRWebViewKitDelegate> delegate)
{
    if (m_webViewKit)
        return m_webViewKit->openWithUrl(std::move(url), std::move(webTitle), std::move(delegate));
    m_webViewKit = MRWebViewKit::initWithUrl(std::move(url), std::move(webTitle), std::move(delegate));
    return m_webViewKit->open();
}

std::shared_ptr<MRWebViewController> MRUiKit::getWebViewController(std::string url, std::optional<std::string> webTitle,
    std::weak_ptr<MRWebViewKitDelegate> delegate)
{
    if (m_webViewKit)
        m_webViewKit->doCloseWithNotAnimation();
    m_webViewKit = MRWebViewKit::create();
    return m_webViewKit->getViewControllerWithUrl(std::move(url), std::move(webTitle), std::move(delegate));
}
