#include "sdk/lmconnect/web/MRWebViewController.h"

#include "sdk/lmconnect/openapi/MorrowHostConfig.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Url.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/View.h"
#include "platform/web/WebView.h"

MRWebViewController::MRWebViewController(std::string requestURLStr, std::optional<std::string> webTitle,
    std::weak_ptr<MRWebViewControllerDelegate> delegate)
    : m_requestURLStr(std::move(requestURLStr))
    , m_webTitle(std::move(webTitle))
    , m_delegate(std::move(delegate))
{
}

MRWebViewController::~MRWebViewController()
{
    if (m_webview)
        m_webview->setDelegate({});
}

bool MRWebViewController::isLocalPageAddress(const std::string& address)
{
    auto url = pf::Url::fromString(address);
    if (!url || !url->isFileUrl())
        return false;
    return (url->host().empty() || url->host() == "localhost") && url->lastPathComponent() == "local.html";
}

void MRWebViewController::viewDidLoad()
{
    auto root = view();
    m_webview = std::make_shared<pf::WebView>(root->bounds());
    m_webview->setAutoresizingMask(pf::Autoresizing::FlexibleWidth | pf::Autoresizing::FlexibleHeight | pf::Autoresizing::FlexibleLeftMargin
        | pf::Autoresizing::FlexibleRightMargin | pf::Autoresizing::FlexibleTopMargin | pf::Autoresizing::FlexibleBottomMargin);
    m_webview->setDelegate(std::static_pointer_cast<MRWebViewController>(shared_from_this()));
    root->addSubview(m_webview);
    m_activityIndicatorView = std::make_shared<pf::ActivityIndicatorView>(pf::ActivityIndicatorStyle::Gray);
    m_activityIndicatorView->setHidesWhenStopped(true);
    m_activityIndicatorView->setCenter(m_webview->center());
    root->addSubview(m_activityIndicatorView);
    loadURL();
}

void MRWebViewController::loadURL()
{
    if (!m_webview)
        return;
    if (isLocalPageAddress(m_requestURLStr)) {
        auto url = pf::Url::fromString(m_requestURLStr);
        auto bytes = pf::FileManager::read(url->path());
        std::string html = bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
        m_webview->loadHtmlString(std::move(html), MorrowHostConfig::shared().webBase() + "?" + url->query().value_or(""));
        return;
    }
    // Never from the cache: the pages carry one-time values.
    pf::UrlRequest request(m_requestURLStr, kLoadTimeout);
    request.setValue("no-cache", "Cache-Control");
    m_webview->loadRequest(std::move(request));
}

void MRWebViewController::stopLoad()
{
    if (m_webview)
        m_webview->stopLoading();
}

void MRWebViewController::reportClose()
{
    auto delegate = m_delegate.lock();
    m_delegate.reset();
    if (delegate)
        delegate->webViewControllerDidCloseWithLastError(*this, m_error);
}

void MRWebViewController::doClose()
{
    m_finished = true;
    auto keep = shared_from_this();
    reportClose();
}

void MRWebViewController::viewDidDisappear(bool)
{
    auto keep = shared_from_this();
    reportClose();
}

bool MRWebViewController::webViewShouldStartLoadWithRequestNavigationType(pf::WebView&, const pf::UrlRequest& request, pf::WebNavigationType type)
{
    auto delegate = m_delegate.lock();
    return delegate ? delegate->webViewControllerShouldStartLoadWithRequest(*this, request, type) : true;
}

void MRWebViewController::webViewDidStartLoad(pf::WebView&)
{
    if (m_activityIndicatorView)
        m_activityIndicatorView->startAnimating();
}

void MRWebViewController::webViewDidFinishLoad(pf::WebView& webView)
{
    if (m_activityIndicatorView)
        m_activityIndicatorView->stopAnimating();
    if (!m_webTitle)
        m_webTitle = webView.evaluate("document.title");
}

void MRWebViewController::webViewDidFailLoadWithError(pf::WebView&, const pf::UrlError& error)
{
    if (m_activityIndicatorView)
        m_activityIndicatorView->stopAnimating();
    m_error = error;
    if (auto delegate = m_delegate.lock())
        delegate->webViewControllerDidFailLoadWithError(*this, error);
}
