#include "sdk/lmconnect/host/MorrowWebViewHost.h"

#include "sdk/lmconnect/host/MorrowJSRunEnv.h"

#include "platform/web/WebView.h"

std::shared_ptr<MorrowWebViewHost> MorrowWebViewHost::create()
{
    auto host = std::shared_ptr<MorrowWebViewHost>(new MorrowWebViewHost());
    host->m_webView = std::make_shared<pf::WebView>();
    host->m_webView->setRefusesRemoteLoads(true);
    host->m_webView->setHidden(true);
    host->m_webView->setDelegate(host);
    return host;
}

MorrowWebViewHost::~MorrowWebViewHost()
{
    if (m_webView)
        m_webView->setDelegate({});
}

std::string MorrowWebViewHost::evaluateJavascript(const std::string& script)
{
    // The view stays alive through the run even if a native function drops the host.
    auto view = m_webView;
    return view->evaluate(script).value_or(std::string());
}

std::string MorrowWebViewHost::loadScript(const std::string& script, const std::string& name)
{
    restoreOwnScripts();
    m_ownScripts.emplace_back(script, name);
    auto view = m_webView;
    std::string answer = view->evaluateKeepingCompiled(script, name).value_or(std::string());
    m_ownScriptsPage = view->pageGeneration();
    return answer;
}

void MorrowWebViewHost::restoreOwnScripts()
{
    if (m_ownScripts.empty())
        return;
    auto view = m_webView;
    std::uint64_t page = view->pageGeneration();
    if (page == m_ownScriptsPage)
        return;
    m_ownScriptsPage = page;
    for (const auto& [script, name] : m_ownScripts)
        view->evaluateKeepingCompiled(script, name);
}

void MorrowWebViewHost::loadHTMLString(const std::string& html)
{
    auto view = m_webView;
    view->loadHtmlString(html);
}

std::string MorrowWebViewHost::callJavascriptFunction(const std::string& path, const std::vector<std::string>& arguments)
{
    auto view = m_webView;
    std::vector<pf::Value> values(arguments.begin(), arguments.end());
    return view->callFunction(path, values).value_or(std::string());
}

bool MorrowWebViewHost::webViewShouldStartLoadWithRequestNavigationType(pf::WebView&, const pf::UrlRequest& request, pf::WebNavigationType type)
{
    auto runEnv = m_runEnv.lock();
    if (!runEnv) {
        const std::string& url = request.url();
        return url.rfind("http:", 0) != 0 && url.rfind("https:", 0) != 0;
    }
    return runEnv->shouldStartLoadWithRequest(request.url(), static_cast<int>(type));
}

void MorrowWebViewHost::webViewDidStartLoad(pf::WebView&)
{
    if (auto runEnv = m_runEnv.lock())
        runEnv->webViewDidStartLoad();
}

void MorrowWebViewHost::webViewDidFinishLoad(pf::WebView&)
{
    restoreOwnScripts();
    if (auto runEnv = m_runEnv.lock())
        runEnv->webViewDidFinishLoad();
}

void MorrowWebViewHost::webViewDidFailLoadWithError(pf::WebView&, const pf::UrlError& error)
{
    if (auto runEnv = m_runEnv.lock())
        runEnv->webViewDidFailLoadWithError(error.description);
}
