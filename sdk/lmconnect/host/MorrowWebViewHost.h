#pragma once

#include "sdk/lmconnect/host/MorrowScriptContext.h"

#include "platform/web/WebViewDelegate.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace pf {
class WebView;
}
class MorrowJSRunEnv;

// The hidden web view the scripts run in, as the script host sees it: evaluation, and the web
// view's questions and load events handed to the run environment.
//
// Rules:
// - The web view is never shown and never fetches a remote document (remote loads refused).
// - Frame navigations are asked synchronously, during the script call that starts them, which
//   is what makes a script's call of a native function synchronous.
// - Without a run environment every navigation but a remote one is allowed.
// - The host's own scripts (`loadScript`) belong to the host, not to a page: when a new page
//   replaces the one they ran in, they run again in it, in their order, before anyone hears
//   that the page has loaded (or before the next own script, should that come first).
// - Main thread only.
class MorrowWebViewHost : public MorrowScriptContext, public pf::WebViewDelegate, public std::enable_shared_from_this<MorrowWebViewHost> {
public:
    static std::shared_ptr<MorrowWebViewHost> create();
    ~MorrowWebViewHost() override;

    // The run environment that answers; the bridge owns it.
    void attachRunEnv(std::weak_ptr<MorrowJSRunEnv> runEnv) override { m_runEnv = std::move(runEnv); }

    std::string evaluateJavascript(const std::string& script) override;
    std::string callJavascriptFunction(const std::string& path, const std::vector<std::string>& arguments) override;
    std::string loadScript(const std::string& script, const std::string& name) override;
    void loadHTMLString(const std::string& html) override;
    const std::shared_ptr<pf::WebView>& webView() const { return m_webView; }

    bool webViewShouldStartLoadWithRequestNavigationType(pf::WebView& webView, const pf::UrlRequest& request, pf::WebNavigationType type) override;
    void webViewDidStartLoad(pf::WebView& webView) override;
    void webViewDidFinishLoad(pf::WebView& webView) override;
    void webViewDidFailLoadWithError(pf::WebView& webView, const pf::UrlError& error) override;

private:
    MorrowWebViewHost() = default;
    // Runs the own scripts again when the shown page is not the one they last ran in.
    void restoreOwnScripts();

    std::shared_ptr<pf::WebView> m_webView;
    std::weak_ptr<MorrowJSRunEnv> m_runEnv;
    std::vector<std::pair<std::string, std::string>> m_ownScripts; // text and name, in load order
    std::uint64_t m_ownScriptsPage { 0 }; // the page generation they last ran in
};
