#pragma once

#include "platform/foundation/Value.h"
#include "platform/ui/View.h"
#include "platform/web/WebViewDelegate.h"

#include <memory>
#include <optional>
#include <string>

namespace pf {
class ActivityIndicatorView;
class Button;
class WebView;
}

namespace blip {

class BPAuthorizeRequest;

// Carries out an authorisation in Blip's web page when no Blip app can: a framed dialog over
// the app's window that pops in, loads the authorisation page and watches where the page goes.
// Its answer, a BPAuthorizeResponse, reaches the app in-process.
//
// Rules:
// - Only an address on the request's redirect address (same scheme, host and port, path below
//   it) can finish the dialog: with "error" and "error_code" as -3, with "access_token" and
//   "expires_in" as 0, read from the fragment, else from the query; every other address loads.
// - The close button finishes with -1 at any time; a page that fails to load keeps the dialog.
// - Each dialog finishes once; the authorisation host's cookies are cleared at show and hide.
class BPAuthorizeWebView : public pf::View, public pf::WebViewDelegate {
public:
    explicit BPAuthorizeWebView(std::shared_ptr<BPAuthorizeRequest> request);
    ~BPAuthorizeWebView() override;

    static std::shared_ptr<BPAuthorizeWebView> showForRequest(std::shared_ptr<BPAuthorizeRequest> request);

    void show();
    void hide();
    void load();
    void closeButtonPressed();
    void cleanCookies();

    // The authorisation page with the request's parameters.
    std::string pageAddress() const;
    // Whether the page may go to `address`; false when the address finished the dialog.
    bool shouldStartLoadWithRequest(const std::string& address);

    // The page's questions and reports.
    bool webViewShouldStartLoadWithRequestNavigationType(pf::WebView& webView, const pf::UrlRequest& request,
        pf::WebNavigationType type) override;
    void webViewDidFinishLoad(pf::WebView& webView) override;
    void webViewDidFailLoadWithError(pf::WebView& webView, const pf::UrlError& error) override;

    // What follows the last `split` in `url`, as the query of a parsable address; none when
    // `split` is not there.
    static std::optional<std::string> fixedUrlStringFromURL(const std::string& url, const std::string& split);
    void authorizeDidFinishWithResponseCode(long long statusCode, const std::optional<pf::Dictionary>& info);

    const std::shared_ptr<BPAuthorizeRequest>& authorizeRequest() const { return m_request; }
    const std::shared_ptr<pf::Button>& closeButton() const { return m_closeButton; }
    const std::shared_ptr<pf::WebView>& webView() const { return m_webView; }
    bool isFinished() const { return m_finished; }
    // The authorisation page's address once the pop-in has ended ("" before).
    const std::string& loadedAddress() const { return m_loadedAddress; }

private:
    void sizeToFitOrientation();
    bool isOnRedirectAddress(const std::string& address) const;

    std::shared_ptr<BPAuthorizeRequest> m_request;
    std::weak_ptr<pf::View> m_modalBackgroundView; // owned by the window
    std::shared_ptr<pf::WebView> m_webView;
    std::shared_ptr<pf::Button> m_closeButton;
    std::shared_ptr<pf::ActivityIndicatorView> m_indicatorView;
    std::string m_loadedAddress;
    bool m_finished { false };
};

}
