#pragma once

#include "platform/web/WebViewDelegate.h"

#include <memory>
#include <string>

namespace pf {
class WebView;
}

// Hands the session's "encrytoken" to the vendor's web pages: a hidden web view of zero size
// loads the vendor's web root and, once a page of the vendor's web host has loaded, stores the
// key in its local storage under "<open id>_<app id>". The view leaves the screen when the load
// ends. Values enter the script only as JSON literals. One shared instance; main thread only.
class MRWebViewLoadJs : public pf::WebViewDelegate, public std::enable_shared_from_this<MRWebViewLoadJs> {
public:
    static std::shared_ptr<MRWebViewLoadJs> getInstance();
    static void clear();

    // Does nothing unless all three are given.
    void loadJS(const std::string& appId, const std::string& openId, const std::string& key);

    // The storage script for a page of `host`.
    static std::string storageScript(const std::string& host, const std::string& name, const std::string& key);

    const std::shared_ptr<pf::WebView>& webView() const { return m_webView; }

    bool webViewShouldStartLoadWithRequestNavigationType(pf::WebView&, const pf::UrlRequest&, pf::WebNavigationType) override { return true; }
    void webViewDidFinishLoad(pf::WebView& webView) override;
    void webViewDidFailLoadWithError(pf::WebView& webView, const pf::UrlError&) override;

private:
    void finish();

    std::string m_key;
    std::string m_openId;
    std::string m_appId;
    std::shared_ptr<pf::WebView> m_webView;
};
