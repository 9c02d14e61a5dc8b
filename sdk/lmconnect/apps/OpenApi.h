#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>

namespace pf {
class Url;
}
class MorrowJSObject;
class MorrowSessionDelegate;
class OpenApiDelegate;

// The routing of the sign-in hand-off with the LM and LZone apps: it decides what an opened
// address is (a Morrow API message, an app's reply "morrow<app id>://lzapp/<x>/<command>", or
// something for the session's scripts) and what a reply means. Writing the request and opening
// the app is `MorrowAppLauncher`'s, the pasteboards are `MorrowAppPasteboard`'s and the version
// probes `MorrowAppVersions`'.
//
// Rules:
// - Morrow API addresses go to that channel first, with the session's delegate.
// - Process-wide state, main thread only: the session (an `OpenApiDelegate`) and its delegate,
//   neither owned, and the receiver of the login result. A new launch forgets them.
// - A reply naming an API call reaches the delegate only through its closed table of names,
//   else `responseDidReceived`.
// - A negative "expires_in" is a failed sign-in; a reply without token, open id or expiry is
//   reported as not logged in.
// - A reply the scripts hand back while one is being processed is refused, so a script cannot
//   make the hand-off recurse.
class OpenApi {
public:
    static constexpr const char* kReplyHost = "lzapp";
    static constexpr double kDefaultLifetime = 2592000; // 30 days
    static constexpr double kDistantFuture = 64092211200.0;

    // Sets the reply scheme "morrow<app id>".
    static bool registerApp(const std::string& appId);
    static bool registerAppWithDelegateAndOldApi(const std::string& appId, std::weak_ptr<MorrowSessionDelegate> delegate,
        std::weak_ptr<OpenApiDelegate> session);
    static void clearParam();
    // `clearParam` when the registered session is gone (a newer session's registration stays).
    static void clearParamIfSessionGone();
    static void setLoginDelegate(std::weak_ptr<MorrowSessionDelegate> delegate);

    // Routes an opened address: an app reply to `processMessage`, anything else to the session's
    // scripts; NO without a session.
    static bool handleOpenURL(const pf::Url& url);
    // An app's reply on the reply scheme, or else an address the session's sign-in window
    // answers (`OpenApiDelegate::oldCanhandleOpenURL`).
    static bool canHandleOpenURL(const pf::Url& url);
    // Whether `url` is an app's reply: the reply scheme with the host "lzapp".
    static bool isAppReply(const pf::Url& url);
    static bool processMessage(const pf::Url& url);
    // A reply the session's scripts hand back: its credentials go to `session`, the login
    // result to `loginDelegate`.
    static bool processMessageCallByOAuth(const pf::Url& url, const std::shared_ptr<OpenApiDelegate>& session,
        const std::shared_ptr<MorrowSessionDelegate>& loginDelegate);

    // The sign-in request to LM or LZone (`firstCall` 1 tries LM first); `delegate` hears the
    // result when an app was opened.
    static bool niceAuthorizeWithPermission(const pf::Value& permissions, std::weak_ptr<MorrowSessionDelegate> delegate,
        int firstCall, const std::string& appId);
    static bool authorizeWithPermission() { return false; }

    // The expiry of a reply's "expires_in": none means 30 days, 0 the distant future, a positive
    // whole number (a number or its text) that many seconds from now; none (a refused sign-in)
    // for anything else, a text that is no number ("", "x") included.
    static std::optional<double> expiryForLifetime(const pf::Value* expiresIn);
    // Query of the text after the first `separator`: parts "name=value" with a name, both
    // unescaped; other parts are left out.
    static pf::Dictionary dictionaryByParseUrlFromSeparator(const std::string& text, const std::string& separator);

    // The script object "openApi": which apps the device opens, and the Morrow API addresses.
    static std::shared_ptr<MorrowJSObject> openApiObject();

private:
    static bool readReply(const pf::Url& url, const std::shared_ptr<OpenApiDelegate>& session,
        const std::shared_ptr<MorrowSessionDelegate>& loginDelegate, bool missingNamedMeansCancel);
};
