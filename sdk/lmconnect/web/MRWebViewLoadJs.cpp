#include "sdk/lmconnect/web/MRWebViewLoadJs.h"

#include "sdk/lmconnect/host/MorrowScriptText.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"

#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Url.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/web/WebView.h"

namespace {

// Never destroyed: a session clears it from its destructor, which may run at process exit. A
// new launch clears it too.
std::shared_ptr<MRWebViewLoadJs>& instance()
{
    static auto* shared = [] {
        auto* made = new std::shared_ptr<MRWebViewLoadJs>();
        pf::ResetRegistry::add([] { MRWebViewLoadJs::clear(); });
        return made;
    }();
    return *shared;
}

}

std::shared_ptr<MRWebViewLoadJs> MRWebViewLoadJs::getInstance()
{
    if (!instance())
        instance() = std::make_shared<MRWebViewLoadJs>();
    return instance();
}

void MRWebViewLoadJs::clear()
{
    if (auto shared = instance()) {
        if (shared->m_webView) {
            shared->m_webView->setDelegate({});
            shared->m_webView->removeFromSuperview();
        }
    }
    instance().reset();
}

std::string MRWebViewLoadJs::storageScript(const std::string& host, const std::string& name, const std::string& key)
{
    return "if(!!window.localStorage){try{document.domain = " + MorrowScriptText::literal(host) + ";localStorage["
        + MorrowScriptText::literal(name) + "] = encodeURIComponent(" + MorrowScriptText::literal(key) + ");}catch(e){}}";
}

void MRWebViewLoadJs::loadJS(const std::string& appId, const std::string& openId, const std::string& key)
{
    if (appId.empty() || openId.empty() || key.empty())
        return;
    m_appId = appId;
    m_openId = openId;
    m_key = key;
    if (m_webView) {
        m_webView->setDelegate({});
        m_webView->removeFromSuperview();
    }
    m_webView = std::make_shared<pf::WebView>(pf::Rect(0, 0, 0, 0));
    m_webView->setDelegate(shared_from_this());
    m_webView->loadRequest(pf::UrlRequest(MorrowHostConfig::shared().webBase()));
    auto key_window = pf::Window::keyWindow();
    auto root = key_window ? key_window->rootViewController() : nullptr;
    if (root)
        root->view()->addSubview(m_webView);
}

// The key goes in once the vendor's page is the document, so it lands in that page's storage.
void MRWebViewLoadJs::webViewDidFinishLoad(pf::WebView& webView)
{
    auto url = pf::Url::fromString(webView.url());
    std::string host = MorrowHostConfig::shared().webHost();
    if (url && !host.empty() && url->host() == host)
        webView.evaluate(storageScript(host, m_openId + "_" + m_appId, m_key));
    finish();
}

void MRWebViewLoadJs::webViewDidFailLoadWithError(pf::WebView&, const pf::UrlError&)
{
    finish();
}

void MRWebViewLoadJs::finish()
{
    if (!m_webView)
        return;
    auto keep = m_webView;
    m_webView->removeFromSuperview();
    m_webView->setDelegate({});
}
