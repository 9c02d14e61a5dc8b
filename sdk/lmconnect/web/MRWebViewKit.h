#pragma once

#include "sdk/lmconnect/web/MRWebViewControllerDelegate.h"
#include "sdk/lmconnect/web/MRWebViewKitDelegate.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pf {
class NavigationController;
class Url;
class Window;
}
class MRWebViewController;

// A vendor page in a window of its own that slides in over the app (0.2 s) with a bar, a
// "关闭" button and a spinner, while the app's other windows slide out; closing slides it out
// (0.3 s), brings the other windows back and makes the earlier key window key again.
//
// The page drives the bar through the private scheme "MRWebViewKit://<call>/<arg>/<arg>" (any
// letter case): the call's "-" stand for ":" and the arguments are percent-unescaped path
// components.
//
// Rules:
// - Only five calls exist for pages: "setNavigationTitle:", "setLeftNavigationBarButton:bindingJS:",
//   "setRightNavigationBarButton:bindingJS:", "setNavigationBarHidden:animated:" and "doClose".
//   Any other name is refused and does nothing; a scheme load is never let through.
// - Every window a kit moved out comes back when that kit closes or opens again.
// - A close runs once: a second `doClose` during the slide-out does nothing. The delegate hears
//   of the close once, with the page's last load error.
// - Load errors reach the delegate sorted: -999 is a content error, an interrupted frame load
//   is dropped, everything else is a network error.
// - Make kits with `create`; main thread only; the delegate is not owned.
class MRWebViewKit : public std::enable_shared_from_this<MRWebViewKit>, public MRWebViewControllerDelegate {
public:
    static constexpr double kOpenDuration = 0.2;
    static constexpr double kCloseDuration = 0.3;
    static constexpr const char* kSchemeName = "MRWebViewKit";
    static constexpr const char* kCloseTitle = "关闭";

    static std::shared_ptr<MRWebViewKit> create();
    static std::shared_ptr<MRWebViewKit> initWithUrl(std::string url, std::optional<std::string> webTitle, std::weak_ptr<MRWebViewKitDelegate> delegate);
    ~MRWebViewKit() override;

    virtual bool open();
    virtual bool openWithUrl(std::string url, std::optional<std::string> webTitle, std::weak_ptr<MRWebViewKitDelegate> delegate);
    virtual void loadURL(std::string url, std::optional<std::string> webTitle, std::weak_ptr<MRWebViewKitDelegate> delegate);
    // A page controller for the caller to show itself; no window is made.
    std::shared_ptr<MRWebViewController> getViewControllerWithUrl(std::string url, std::optional<std::string> webTitle,
        std::weak_ptr<MRWebViewKitDelegate> delegate);
    void doClose();
    void doCloseWithNotAnimation();

    // The calls a page may make through the private scheme.
    void setLeftNavigationBarButton(const std::optional<std::string>& title, const std::optional<std::string>& bindingJS);
    void setRightNavigationBarButton(const std::optional<std::string>& title, const std::optional<std::string>& bindingJS);
    void setNavigationTitle(const std::optional<std::string>& title);
    // Texts read as booleans ("1" yes, "0" no), so that page arguments work.
    void setNavigationBarHidden(const std::optional<std::string>& hidden, const std::optional<std::string>& animated);
    void onClickClose();

    const std::string& requestUrl() const { return m_requestUrl; }
    const std::optional<std::string>& webTitle() const { return m_webTitle; }
    std::shared_ptr<MRWebViewKitDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<MRWebViewKitDelegate> delegate) { m_delegate = std::move(delegate); }
    const std::shared_ptr<pf::Window>& window() const { return m_window; }
    const std::shared_ptr<MRWebViewController>& webViewController() const { return m_webViewController; }
    std::shared_ptr<pf::NavigationController> navigationController() const;
    bool isClosing() const { return m_isClosing; }

    // MRWebViewControllerDelegate
    void webViewControllerDidCloseWithLastError(MRWebViewController&, const std::optional<pf::UrlError>& lastError) override;
    void webViewControllerDidFailLoadWithError(MRWebViewController&, const pf::UrlError& error) override;
    bool webViewControllerShouldStartLoadWithRequest(MRWebViewController&, const pf::UrlRequest& request, pf::WebNavigationType type) override;
    bool webViewControllerShouldAutorotateToInterfaceOrientation(MRWebViewController&, int orientation) override;

protected:
    MRWebViewKit() = default;
    // What messages about the screen call the kit's window (empty: it is described as a window).
    void setWindowName(std::string name) { m_windowName = std::move(name); }
    void setValues(std::string url, std::optional<std::string> webTitle, std::weak_ptr<MRWebViewKitDelegate> delegate);
    void closeWindow();

private:
    void close(bool animated);
    void performSchemeCall(const pf::Url& url);
    void setBarButton(bool left, const std::optional<std::string>& title, const std::optional<std::string>& bindingJS);

    std::string m_requestUrl;
    std::optional<std::string> m_webTitle;
    std::weak_ptr<MRWebViewKitDelegate> m_delegate;
    std::shared_ptr<MRWebViewController> m_webViewController;
    std::shared_ptr<pf::Window> m_window;
    std::shared_ptr<pf::Window> m_keywindow;
    std::vector<std::shared_ptr<pf::Window>> m_windowsArray;
    bool m_isClosing { false };
    std::string m_windowName;
};
