#pragma once

#include <optional>
#include <string>

namespace pf {
class Url;
}

// What the app hand-off (`OpenApi`) asks of the session it serves. The hand-off holds it weakly
// and knows nothing else of the session: it hands over the addresses that are no app reply and
// the credentials a sign-in reply carries, and asks whether its sign-in window takes an address.
class OpenApiDelegate {
public:
    // A sign-in reply's credentials; each replaces what the session held, none clears it.
    struct SignIn {
        std::optional<std::string> openId;
        std::optional<std::string> accessToken;
        std::optional<double> expirationDate;
        std::optional<std::string> encryToken;
    };

    virtual ~OpenApiDelegate() = default;

    // An opened address that is no app reply, for the session's scripts; YES when they take it.
    virtual bool handleOpenURL(const pf::Url& url) = 0;
    // Whether the session's sign-in window takes `url` as one of its replies; none by default.
    virtual bool oldCanhandleOpenURL(const pf::Url& url) const { return false; }
    // Takes the credentials in the order open id, token, expiry, "encrytoken", and answers
    // whether the session then holds a whole sign-in: token, open id and expiry.
    virtual bool openApiDidReceiveSignIn(const SignIn& signIn) = 0;
};
