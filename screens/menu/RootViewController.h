#pragma once

#include "screens/menu/DDMenuController.h"

#include <memory>
#include <string>
#include <vector>

class UserAccountPromptView;
class UserInfo;

namespace pf {
struct Notification;
}

// The window's root: the side-menu container around the centre navigation controller, with the
// side menu on its left. When its view loads it installs the side menu (which puts the menu
// button on the first screen), asks the login manager for the automatic login of a stored
// token and runs the silent version check; when the automatic login succeeds it greets the user
// with a panel that fades out over the key window.
//
// Rules:
// - The greeting reads the login manager's record, which is set before the notification.
// - The user name is escaped before it goes into the panel's markup; an absent name shows as
//   empty text.
// - The reward line shows "ext1", or "ext2" when "ext1" is 0, and only when the login earned a
//   reward ("updatecredit").
// - The panel keeps itself alive until its fade has ended and it has left the window.
class RootViewController : public DDMenuController {
public:
    static constexpr double kPromptFadeDuration = 3.0;

    using DDMenuController::DDMenuController;
    ~RootViewController() override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void getUserInfoFinished(const pf::Notification& notification);

    std::shared_ptr<UserInfo> userInfo() const { return m_userInfo; }
    std::shared_ptr<UserAccountPromptView> userAccountPromptView() const { return m_userAccountPromptView; }

    // The markup lines of the greeting for `user`.
    static std::vector<std::string> greetingLines(const UserInfo& user);

private:
    void fetchLeftViewController();
    void showLoginSuccesedPromptText();
    void showPromptView();

    std::shared_ptr<UserInfo> m_userInfo;
    std::shared_ptr<UserAccountPromptView> m_userAccountPromptView;
};
