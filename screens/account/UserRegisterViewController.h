#pragma once

#include "screens/account/AccountFormViewController.h"

#include <cstdint>
#include <memory>
#include <string>

// The registration of a new forum account ("用户注册"): an e-mail address as account name, a
// nickname and a password typed twice, sent as "user/reg"; the portal checks them and answers
// with a token for the new account. Pushed by the login screen.
//
// On success the token is recorded at once, a panel thanks the user for 3 seconds, the screen
// returns to the one below the login screen after 3.0 seconds and "UserLogin" is posted with
// the reply after 3.1 seconds. No logout of an earlier token is sent: the new one replaces it.
//
// Rules:
// - Only a JSON object with "ret" 0 whose "body" holds a non-empty "usertoken" is a success;
//   anything else shows the reply's "msg" (or a general failure) in a panel on this screen and
//   records nothing.
// - A token the disk does not take (a full disk) leaves the new account logged out: the failure
//   panel says "登录失败，请稍后再试", the screen stays, nothing is announced.
// - The portal's message is escaped before it goes into the panel's markup.
// - The announcement belongs to the login the reply made: a logout or another login before it
//   is due drops it.
// - The pending return and notification keep the screen alive until they have run.
class UserRegisterViewController : public AccountFormViewController {
public:
    static constexpr const char* kNibName = "UserRegisterViewController";
    static constexpr double kDismissDelay = 3.0;
    static constexpr double kLoginNotificationDelay = 3.1;

    UserRegisterViewController();
    ~UserRegisterViewController() override;
    static void registerNib();

    void setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view) override;
    void networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data) override;

    // The action of the layout's button.
    void userRegister();
    void dismiss();
    // Posts "UserLogin" unless the login of `loginGeneration` has ended meanwhile.
    void postUserLoginNotification(const pf::Value& reply, uint64_t loginGeneration);

    std::shared_ptr<pf::TextField> email() const { return m_email.lock(); }
    std::shared_ptr<pf::TextField> password() const { return m_password.lock(); }
    std::shared_ptr<pf::TextField> verifiedPassword() const { return m_verifiedPassword.lock(); }
    std::shared_ptr<pf::TextField> nickName() const { return m_nickName.lock(); }

protected:
    std::vector<std::shared_ptr<pf::TextField>> formFields() const override
    {
        return { email(), password(), verifiedPassword(), nickName() };
    }

private:
    std::shared_ptr<UserRegisterViewController> self();
    void showErrorPromptText(const std::string& message);
    void showRegisterSuccesedPromptText();

    std::weak_ptr<pf::TextField> m_email;
    std::weak_ptr<pf::TextField> m_password;
    std::weak_ptr<pf::TextField> m_verifiedPassword;
    std::weak_ptr<pf::TextField> m_nickName;
};
