#pragma once

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Value.h"
#include "sdk/lmconnect/web/MRWebViewKitDelegate.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pf {
class Url;
}
class LMApiMessage;
class MRWebViewKit;

// The return from the vendor's share page in a browser: an address of ours ("morrow<app id>")
// that names the authorisation host and carries, after "?#", "action", "result" and the JSON
// "response". It becomes LM's answer to a share (a message of type 6).
//
// The one instance also serves a web window showing that share page: the window closes when
// the page loads a return with "action" "shareToLM". Every load goes on. Main thread only.
class LMWebViewKit : public MRWebViewKitDelegate, public std::enable_shared_from_this<LMWebViewKit> {
public:
    static constexpr const char* kAuthorizationHost = "openmobile.lmconnect.invalid";

    static const std::shared_ptr<LMWebViewKit>& instance();

    static bool canHanleOpenUrlFromSafari(const pf::Url& url);
    static std::shared_ptr<LMApiMessage> messageWithSafariUrl(const pf::Url& url);
    // The pieces after the first `separator`, "key=value" with both parts percent-decoded; empty
    // when the separator does not occur. Pieces with another count of "=" or an empty key are
    // skipped.
    static std::map<std::string, std::string> dictionaryByParseUrlFromSeparator(std::string_view text, std::string_view separator);
    static std::optional<pf::Value> JSONValue(std::string_view text);

    // Sharing to one friend has no route of its own: YES, and nothing happens.
    bool shareToFriend(const pf::Value& params) const;
    // Stops a pending timer, then opens the web window (when one is set).
    void openWebKit();
    static bool isNewLMBrowserInstall();
    static bool isOldLMBrowserInstall();

    const std::shared_ptr<MRWebViewKit>& webViewKit() const { return m_webViewKit; }
    // The window is not made here: its owner hands it over (and this instance becomes its delegate).
    void setWebViewKit(std::shared_ptr<MRWebViewKit> kit);
    std::optional<pf::RunLoop::TaskId> timer() const { return m_timer; }
    void setTimer(std::optional<pf::RunLoop::TaskId> timer) { m_timer = timer; }

    // MRWebViewKitDelegate
    bool webViewKitShouldStartLoadWithRequest(MRWebViewKit& kit, const pf::UrlRequest& request, pf::WebNavigationType type) override;
    void webViewKitDidFinishedWithError(MRWebViewKit&, const std::optional<pf::UrlError>&) override { }
    void webViewKitDidLoadWithContentError(MRWebViewKit&, const pf::UrlError&) override { }
    void webViewKitDidLoadWithNetworkError(MRWebViewKit&, const pf::UrlError&) override { }

private:
    std::optional<pf::RunLoop::TaskId> m_timer;
    std::shared_ptr<MRWebViewKit> m_webViewKit;
};
