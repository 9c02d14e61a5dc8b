#pragma once

#include "core/NetworkRequestorDelegate.h"
#include "core/views/AdaptedViewController.h"
#include "platform/foundation/Value.h"
#include "platform/web/WebViewDelegate.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class NetworkRequestor;

namespace pf {
class PageBridge;
class WebView;
}

// Logs a user in with an LM account through the forum's own connect page: the page runs in a
// web view joined to this screen by the page bridge; at every navigation the screen asks the
// page's handler "lmLogin", and the first answer's "webauth" and "saltkey" are exchanged with
// the portal ("user/weblm") for a user token. Pushed by the forum login screen; on success it
// returns to the screen below that one and announces the login 1.0 s later.
//
// Rules:
// - The page is loaded once, on the first appearance.
// - Only answers from a page of the forum's own host count, and only the first one is sent.
// - Only a JSON object with "ret" 0 whose "body" holds a non-empty "usertoken" that can be kept
//   (`UserTokenStore::canKeep`) is a success.
//   Then the new token is recorded, the previously stored token (if another) is logged out on
//   the portal (the request carries it as it was read before), the login screens leave at once
//   and "UserLogin" follows with the whole reply. A token the disk does not take (a full disk)
//   fails the login as a refused reply does: the general text is shown, nothing is sent and
//   the previous login stays.
// - Anything else is a failure: its "msg" (or a general text) is shown, the stored token stays
//   stored and is not logged out, and the screen stays.
// - The pending announcement keeps the screen alive until it has been posted. It belongs to
//   the login the reply made: a logout or another login before it is due drops it.
class LMLoginWebViewController : public AdaptedViewController, public NetworkRequestorDelegate, public pf::WebViewDelegate {
public:
    static constexpr double kLoginNotificationDelay = 1.0;
    static constexpr const char* kHandlerName = "lmLogin";
    static constexpr const char* kLoginFailed = "LM帐号登录失败，请稍后再试";

    LMLoginWebViewController();
    ~LMLoginWebViewController() override;

    // "http://<forum host>/connect.php?..." for the configured forum; empty without one.
    static std::string pageAddress();
    // The forum's host with its port ("127.0.0.1:8080"); none without a forum.
    static std::optional<std::string> forumHost();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // Every navigation is allowed; each one asks the page for its answer.
    bool webViewShouldStartLoadWithRequestNavigationType(pf::WebView& webView, const pf::UrlRequest& request,
        pf::WebNavigationType type) override;

    // The page's answer to "lmLogin"; `pageURL` is the address of the page that gave it.
    void lmLoginAnswered(const pf::Value& answer, const std::string& pageURL);
    void networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data) override;

    bool isLMLoginRequested() const { return m_isLMLoginRequested; }
    std::shared_ptr<NetworkRequestor> lmLoginNetworkRequestor() const { return m_lmLoginNetworkRequestor; }
    std::shared_ptr<NetworkRequestor> userLogoutPreviousLoginNetworkRequestor() const { return m_userLogoutPreviousLoginNetworkRequestor; }
    std::shared_ptr<pf::WebView> webView() const { return m_webView; }
    std::shared_ptr<pf::PageBridge> bridge() const { return m_bridge; }

private:
    std::shared_ptr<LMLoginWebViewController> self();
    void fetchWebView();
    void fetchBridge();
    void askPage();
    void requestLMLogin(const pf::Value& webauth, const pf::Value& saltKey);
    void lmLoginDidFinished(const pf::Bytes& data);
    bool logoutWithPreviousUserToken(const std::optional<std::string>& previous, const std::string& newToken);
    void postUserLoginNotification(const pf::Value& reply, uint64_t loginGeneration);
    void dismiss();
    void popViewController();

    std::shared_ptr<pf::WebView> m_webView;
    std::shared_ptr<pf::PageBridge> m_bridge;
    bool m_isLMLoginRequested { false };
    std::shared_ptr<NetworkRequestor> m_lmLoginNetworkRequestor;
    std::shared_ptr<NetworkRequestor> m_userLogoutPreviousLoginNetworkRequestor;
};
