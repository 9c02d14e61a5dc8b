#pragma once

#include "screens/account/AccountFormViewController.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class NetworkRequestor;
class UserLoginInfo;

// The screen on which a user logs in with a forum account name and password ("帐号登录"),
// pushed by a gift detail screen whose claim needs a login, by the side menu and by the
// personal centre. From it the user can go on to the LM web login or to registration.
//
// On success it logs the previously stored token out on the portal, records the new token,
// posts "UserLogin" with the reply, shows a welcome panel on the key window for 3 seconds and
// leaves 3.1 seconds after the success.
//
// Rules:
// - Only a JSON object with "ret" 0 whose "body" holds a non-empty "usertoken" is a success;
//   anything else shows the reply's "msg" (or a general failure) and changes nothing.
// - The new token is recorded first. When the disk does not take it (a full disk) the login
//   fails as a refused one does ("登录失败，请稍后再试"), and nothing changes: no logout is
//   sent, the previous login stays, no welcome is shown.
// - The old token's logout carries the old token, read before the new one was recorded; it is
//   not sent when no token was stored or when the portal handed out the same token again (that
//   logout would end the new session). Its reply is not waited for.
// - Leaving takes this screen (and anything pushed above it) off its navigation stack; the
//   pending leave keeps the screen alive until it fires.
// - The typed name is escaped before it goes into the panel's markup.
class UserLoggingViewController : public AccountFormViewController {
public:
    static constexpr const char* kNibName = "UserLoggingViewController";
    static constexpr double kDismissDelay = 3.1;

    // Replaces the LM web login screen (tests); a factory that makes none pushes nothing.
    using LMLoginFactory = std::function<std::shared_ptr<pf::ViewController>()>;
    static void setLMLoginFactory(LMLoginFactory factory);

    UserLoggingViewController();
    ~UserLoggingViewController() override;
    static void registerNib();

    void setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view) override;
    void networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data) override;

    // Actions of the layout's buttons.
    void login();
    void loginWithLM();
    void newUserRegister();

    void dismiss();

    std::shared_ptr<pf::TextField> userName() const { return m_userName.lock(); }
    std::shared_ptr<pf::TextField> password() const { return m_password.lock(); }
    std::shared_ptr<UserLoginInfo> userLoginInfo() const { return m_userLoginInfo; }
    std::shared_ptr<NetworkRequestor> userLogoutPreviousLoginNetworkRequestor() const { return m_userLogoutPreviousLoginNetworkRequestor; }

protected:
    std::vector<std::shared_ptr<pf::TextField>> formFields() const override { return { userName(), password() }; }

private:
    std::shared_ptr<UserLoggingViewController> self();
    bool logoutWithPreviousUserToken(const std::optional<std::string>& previous, const std::string& newToken);
    // Records the token and posts "UserLogin"; false, posting nothing, when the token cannot be kept.
    bool userLoginFinished(const pf::Value& reply);
    void showLoginSuccesedPromptText();
    void showPromptView();

    std::weak_ptr<pf::TextField> m_userName;
    std::weak_ptr<pf::TextField> m_password;
    std::shared_ptr<UserLoginInfo> m_userLoginInfo;
    std::shared_ptr<NetworkRequestor> m_userLogoutPreviousLoginNetworkRequestor;
};
