#pragma once

#include "core/views/AdaptedViewController.h"
#include "platform/foundation/UrlRequest.h"
#include "platform/web/WebViewDelegate.h"

#include <memory>
#include <string>
#include <vector>

class LoadingPromptView;

namespace pf {
class WebView;
}

// Shows one of the portal's web pages inside the app, as the logged-in user: the page is asked
// for with a POST carrying the signed parameters of the page operation and the user's token, so
// the portal's site knows who is reading. The side menu opens it on the feedback page. A
// loading indicator covers the page until it has loaded.
//
// Rules:
// - The page is asked for at every appearance; the indicator shows only until the first load
//   ends.
// - The marker "from=iphone" joins the address's query ("?" without one, "&" after one).
// - Body values are form-escaped (a web address keeps its ":" and "/").
// - With no token stored no "Authorization" header is sent and nothing is signed with a token.
// - A failed load removes the indicator and shows why.
// - No load report reaches the screen once it is going away.
class WebDetailPageViewController : public AdaptedViewController, public pf::WebViewDelegate {
public:
    static constexpr int kPortalPageType = 1;
    static constexpr const char* kPageMarker = "from=iphone";
    static constexpr const char* kLoadFailed = "页面加载失败";

    WebDetailPageViewController() = default;
    ~WebDetailPageViewController() override;

    // The request for the page at `urlString`.
    static pf::UrlRequest pageRequest(const std::string& urlString);
    // `urlString` with the marker in its query.
    static std::string markedAddress(const std::string& urlString);

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    // Where page-view statistics would start and stop counting the page at `address`; no page
    // views are counted, so both do nothing.
    void doPageviewStartStat(const std::string& /*address*/) { }
    void doPageviewEndStat(const std::string& /*address*/) { }

    void webViewDidFinishLoad(pf::WebView& webView) override;
    void webViewDidFailLoadWithError(pf::WebView& webView, const pf::UrlError& error) override;

    int webDetailPageType() const { return m_webDetailPageType; }
    void setWebDetailPageType(int type) { m_webDetailPageType = type; }
    const std::vector<std::string>& infoKeeper() const { return m_infoKeeper; }
    void setInfoKeeper(std::vector<std::string> info) { m_infoKeeper = std::move(info); }
    const std::string& urlString() const { return m_urlString; }
    bool isLoadedFinished() const { return m_isLoadedFinished; }
    std::shared_ptr<LoadingPromptView> loadingPromptView() const { return m_loadingPromptView; }
    std::shared_ptr<pf::WebView> webView() const { return m_webView; }

private:
    void popViewController();
    void fetchWebView();

    std::vector<std::string> m_infoKeeper;
    int m_webDetailPageType { 0 };
    std::string m_urlString;
    bool m_isLoadedFinished { false };
    std::shared_ptr<LoadingPromptView> m_loadingPromptView;
    std::shared_ptr<pf::WebView> m_webView;
};
