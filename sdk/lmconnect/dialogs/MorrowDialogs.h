#pragma once

#include "sdk/lmconnect/web/MRWebViewKitDelegate.h"

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>

class MRUiKit;
class MorrowDialogsDelegate;

// The session's social dialogs (story, invitation, challenge, gift) and the windows the scripts
// open. A dialog goes to the LZone app when its version is high enough (3 for the story, 4 for
// the others), else to the bundle's page "local.html" in the session's dialog window, with the
// dialog's values as the page's query. The page answers by loading
// "morrow<app id>://<dialog>/success|cancel|fail?<result>", which closes the window and reaches
// the session's delegate as a response.
//
// Rules:
// - Every dialog needs a valid session with an open id; otherwise false and nothing shows.
// - A story without a friend list goes to no one: the friends of an earlier story are dropped.
// - "/success" gives retCode 0, "/cancel" and "/fail" retCode 1 (codes 2 and 12); the result
//   values are the answer's query. A story's answer goes to `sendStoryResponse`, the others to
//   `responseDidReceived` with the dialog's name.
// - A script-opened window loads only what "appUtils.nativeWebViewCallback" answers "true" to,
//   and closes on a network error.
// - Without the bundle's page a web dialog answers false.
// - Main thread only; the session owns it.
class MorrowDialogs : public MRWebViewKitDelegate, public std::enable_shared_from_this<MorrowDialogs> {
public:
    static constexpr const char* kLocalPage = "local";
    static constexpr const char* kBundleName = "MorrowOpenApi_IOS_Bundle.bundle";

    explicit MorrowDialogs(std::weak_ptr<MorrowDialogsDelegate> session);

    bool sendStory(const pf::Dictionary& params, const std::optional<pf::Array>& friendList);
    // The scripts' call with their "accesstoken" and "openid": "YES" or "NO".
    std::string sendStoryImple(const pf::Value& params);
    bool checkSendStoryParam(const pf::Dictionary& params);
    bool sendAppInvitationWithDescription(const std::string& description, const std::string& imageURL, const std::string& source);
    bool sendChallenge(const std::string& receiver, const std::string& type, const std::string& imageURL, const std::string& message,
        const std::string& source);
    bool sendGiftRequest(const std::string& receiver, const std::string& exclude, const std::string& specified, bool only,
        const std::string& type, const std::string& title, const std::string& message, const std::string& imageURL, const std::string& source);
    std::string localEncrytedToken() const;

    // The scripts' own window.
    bool openNativeWebView(const std::optional<std::string>& url, const std::optional<std::string>& title);
    void closeNativeWebView();

    const std::shared_ptr<MRUiKit>& mrUiKit() const { return m_mrUiKit; }
    const std::shared_ptr<MRUiKit>& mrJSUiKit() const { return m_mrJSUiKit; }

    // "a=1&b=%20" as a dictionary: pieces of exactly one "=", the value unescaped.
    static pf::Dictionary queryDictionary(const std::optional<std::string>& query);

    bool webViewKitShouldStartLoadWithRequest(MRWebViewKit& kit, const pf::UrlRequest& request, pf::WebNavigationType) override;
    void webViewKitDidLoadWithNetworkError(MRWebViewKit& kit, const pf::UrlError&) override;

private:
    bool canSend() const;
    bool openPage(const pf::Dictionary& params, const std::string& title);
    void answer(const std::string& address);
    static void alert(const std::string& title, const std::string& message, const std::string& button);
    bool isWindowOf(const std::shared_ptr<MRUiKit>& holder, const MRWebViewKit& kit) const;

    std::weak_ptr<MorrowDialogsDelegate> m_session;
    std::shared_ptr<MRUiKit> m_mrUiKit;
    std::shared_ptr<MRUiKit> m_mrJSUiKit;
};
