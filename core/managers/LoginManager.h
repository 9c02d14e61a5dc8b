#pragma once

#include "core/NetworkRequestorDelegate.h"
#include "core/UserTokenStore.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class NetworkRequestor;
class UserInfo;

namespace pf {
struct Notification;
}

// The login state of the app: the user token kept in the user defaults under "usertoken", so
// that it survives restarts, and the current user's record, kept in memory only.
//
// The manager asks the portal for the user's information on behalf of the screens and announces
// the outcome with notifications:
//   "UserNotLogin"       no token is stored (posted at once, no object), or a plain request's
//                        reply is a failure (object: the reply when it is a JSON object)
//   "UserLogin"          a plain request's reply is a success (object: the reply)
//   "AutoLoginUserInfo"  a start-up request's reply is a success (object: the reply); a failed
//                        one posts nothing
// It observes "UserLogin" (from anyone: itself and the login screens) to take the user record
// from the reply's "body", and "UserLogout" to forget it.
//
// Rules:
// - The token is read at the moment a request is built or started, so a request started
//   before a new token is recorded carries the old one.
// - The token never expires on the client; only a logout clears it.
// - A reply counts as a success only when it is a JSON object whose "ret" is 0 and whose "body"
//   is an object; anything else (not JSON, no "ret", a non-zero "ret") is a failure.
// - Each kind of request keeps only its latest requestor; the reply of a replaced one is
//   ignored.
// - The login generation moves on whenever the token is recorded or cleared and at every
//   "UserLogout". The user-information requests in flight then are cancelled: they were made
//   for the login that ended, and their replies post nothing. News of a login announced later
//   (a login screen's delayed "UserLogin") goes through `postUserLogin` with the generation it
//   was made in, so a user who has logged out since, or been replaced, never comes back.
// - The manager registers its observers before any screen (screens use the manager before
//   they register theirs), so its handlers run first and the screens read the new record.
//   Should the notification centre lose the registrations (a test environment empties it),
//   the next `sharedInstance` registers again on a fresh state.
class LoginManager : public std::enable_shared_from_this<LoginManager>, public NetworkRequestorDelegate {
public:
    static constexpr const char* kUserTokenKey = UserTokenStore::kUserTokenKey;
    static constexpr const char* kUserLoginNotification = "UserLogin";
    static constexpr const char* kUserLogoutNotification = "UserLogout";
    static constexpr const char* kUserNotLoginNotification = "UserNotLogin";
    static constexpr const char* kAutoLoginUserInfoNotification = "AutoLoginUserInfo";
    // The avatar size asked for with the user's information.
    static constexpr const char* kAvatarType = "small";

    static std::shared_ptr<LoginManager> sharedInstance();

    // --- the token ---
    // Stores the token over any earlier one and begins a new login. False, changing nothing,
    // when the token cannot be kept (a full disk): the screen tells the user the login failed.
    bool recordUserToken(const std::string& token);
    // The stored token; none when nobody is logged in.
    std::optional<std::string> getUserToken() const;
    void clearUserToken();

    // --- the login generation ---
    uint64_t loginGeneration() const { return m_loginGeneration; }
    // Posts "UserLogin" with the reply while `generation` is still the current one; false,
    // posting nothing, once the login it was made for has ended.
    bool postUserLogin(const pf::Value& reply, uint64_t generation);

    // --- the user ---
    std::shared_ptr<UserInfo> userInformation() const { return m_userInformation; }
    void setUserInformation(std::shared_ptr<UserInfo> info) { m_userInformation = std::move(info); }

    // --- requests ---
    // The plain user-information request (the side menu, the personal centre, the gift detail
    // screen's login check).
    void requestUserInfo();
    // The start-up variant (the root container).
    void requestAutoLoginUserInfo();
    std::shared_ptr<NetworkRequestor> networkRequestor() const { return m_networkRequestor; }
    std::shared_ptr<NetworkRequestor> autoLoginRequestor() const { return m_autoLoginRequestor; }

    void networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data) override;

    // --- notification handlers ---
    void loginFinished(const pf::Notification& notification);
    void logoutFinished(const pf::Notification& notification);

private:
    // No user record, no request, the notifications observed (once).
    void startFresh();
    std::shared_ptr<NetworkRequestor> startUserInfoRequest();
    // A login ended or began: what was asked for the previous one is dropped.
    void beginLoginGeneration();

    std::shared_ptr<UserInfo> m_userInformation;
    std::shared_ptr<NetworkRequestor> m_networkRequestor;
    std::shared_ptr<NetworkRequestor> m_autoLoginRequestor;
    uint64_t m_loginGeneration { 0 };
};
