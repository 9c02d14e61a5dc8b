#pragma once

#include "platform/foundation/Value.h"
#include "platform/ui/View.h"
#include "platform/web/WebViewDelegate.h"

#include <memory>
#include <optional>
#include <string>

namespace pf {
class ActivityIndicatorView;
class BitmapContext;
class Image;
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
// - It follows the status bar's orientation between show and hide (landscape swaps the sides).
// - Its close button shows the picture "close.png" (the Blip bundle's, else one drawn here).
class BPAuthorizeWebView : public pf::View, public pf::WebViewDelegate {
public:
    // What messages about the screen call the dialog and the view over the window it lies on.
    static constexpr const char* kPageName = "the Blip sign-in page";

    explicit BPAuthorizeWebView(std::shared_ptr<BPAuthorizeRequest> request);
    ~BPAuthorizeWebView() override;

    static std::shared_ptr<BPAuthorizeWebView> showForRequest(std::shared_ptr<BPAuthorizeRequest> request);

    void show();
    void hide();
    void load();
    // Puts the dialog over the key (else the first) window and starts the pop-in, whose steps
    // end in the three handlers below; the last loads the page.
    void showWebView();
    void bounce1AnimationStopped();
    void bounce2AnimationStopped();
    void bounce3AnimationStopped();
    void showIndicator();
    void hideIndicator();

    // Sizes (and with `transform`, turns) the dialog for the status bar's orientation.
    void sizeToFitOrientation(bool transform);
    // The turn, in radians, that the status bar's orientation asks for.
    static double transformForOrientation();
    bool shouldRotateToOrientation(int orientation) const;
    int previousOrientation() const { return m_previousOrientation; }
    double rotation() const { return m_rotation; }
    void deviceOrientationDidChange();
    void addObservers();
    void removeObservers();
    void updateWebOrientation();

    // The background: the whole rectangle filled grey at 0.8, and a 1-point grey frame inside.
    void drawRect(pf::BitmapContext& context, const pf::Rect& rect) const;
    static void drawRectFillRadius(pf::BitmapContext& context, const pf::Rect& rect, const pf::Color& fill, double radius);
    static void addRoundedRectToPathRectRadius(pf::BitmapContext& context, const pf::Rect& rect, double radius);
    static void strokeLinesStroke(pf::BitmapContext& context, const pf::Rect& rect, const pf::Color& stroke);
    // The background as drawn over the dialog's bounds.
    std::shared_ptr<pf::Image> backgroundImage() const;
    static std::shared_ptr<pf::Image> closeImage();
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
    bool isOnRedirectAddress(const std::string& address) const;

    std::shared_ptr<BPAuthorizeRequest> m_request;
    std::weak_ptr<pf::View> m_modalBackgroundView; // owned by the window
    std::shared_ptr<pf::WebView> m_webView;
    std::shared_ptr<pf::Button> m_closeButton;
    std::shared_ptr<pf::ActivityIndicatorView> m_indicatorView;
    std::string m_loadedAddress;
    bool m_finished { false };
    bool m_observing { false };
    int m_previousOrientation { 1 };
    double m_rotation { 0 };
};

}
