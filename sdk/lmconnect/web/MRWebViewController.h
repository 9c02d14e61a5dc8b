#pragma once

#include "sdk/lmconnect/web/MRWebViewControllerDelegate.h"

#include "platform/ui/ViewController.h"
#include "platform/web/WebViewDelegate.h"

#include <memory>
#include <optional>
#include <string>

namespace pf {
class ActivityIndicatorView;
class WebView;
}

// One vendor page in a web view with a spinner. The bundle's own page ("local.html" as a file
// address on "localhost" or without a host) is loaded from its bytes with the vendor's web root
// as its base address, so its script can answer on the app's scheme; other addresses are
// requested afresh with a 30-second time-out.
//
// Rules:
// - The close is reported once: by `doClose`, or when the view goes off screen, whichever
//   comes first; the delegate is forgotten then.
// - A title set before the load (even "") stays; without one the document's title is taken.
// - Main thread only; the delegate is not owned.
class MRWebViewController : public pf::ViewController, public pf::WebViewDelegate {
public:
    static constexpr double kLoadTimeout = 30;

    MRWebViewController(std::string requestURLStr, std::optional<std::string> webTitle, std::weak_ptr<MRWebViewControllerDelegate> delegate);
    ~MRWebViewController() override;

    void viewDidLoad() override;
    void viewDidDisappear(bool animated) override;

    void loadURL();
    void stopLoad();
    void doClose();

    const std::string& requestURLStr() const { return m_requestURLStr; }
    void setRequestURLStr(std::string url) { m_requestURLStr = std::move(url); }
    const std::optional<std::string>& webTitle() const { return m_webTitle; }
    void setWebTitle(std::optional<std::string> title) { m_webTitle = std::move(title); }
    std::shared_ptr<MRWebViewControllerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<MRWebViewControllerDelegate> delegate) { m_delegate = std::move(delegate); }
    const std::optional<pf::UrlError>& error() const { return m_error; }
    bool isFinished() const { return m_finished; }
    const std::shared_ptr<pf::WebView>& webview() const { return m_webview; }
    const std::shared_ptr<pf::ActivityIndicatorView>& activityIndicatorView() const { return m_activityIndicatorView; }

    // Whether `address` is the bundle's own page: a file address on "localhost" (or with no
    // host) whose last path component is "local.html".
    static bool isLocalPageAddress(const std::string& address);

    bool webViewShouldStartLoadWithRequestNavigationType(pf::WebView&, const pf::UrlRequest&, pf::WebNavigationType) override;
    void webViewDidStartLoad(pf::WebView&) override;
    void webViewDidFinishLoad(pf::WebView&) override;
    void webViewDidFailLoadWithError(pf::WebView&, const pf::UrlError&) override;

private:
    void reportClose();

    std::string m_requestURLStr;
    std::optional<std::string> m_webTitle;
    std::weak_ptr<MRWebViewControllerDelegate> m_delegate;
    std::optional<pf::UrlError> m_error;
    bool m_finished { false };
    std::shared_ptr<pf::WebView> m_webview;
    std::shared_ptr<pf::ActivityIndicatorView> m_activityIndicatorView;
};
