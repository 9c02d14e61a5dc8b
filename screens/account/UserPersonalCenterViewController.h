#pragma once

#include "core/NetworkRequestorDelegate.h"
#include "core/views/AdaptedViewController.h"

#include <memory>
#include <string>

class NetworkRequestor;
class UserInfo;

namespace pf {
class Button;
class ImageView;
class Label;
class RichTextLabel;
struct Notification;
}

// The personal centre ("帐号"): the logged-in user's avatar, nickname, gold coins and forum
// points on a white card, and the buttons "切换帐号" (open the login screen) and "退出" (log
// out). Pushed by the side menu's account row while a user is logged in.
//
// Rules:
// - Every appearance asks the login manager for the user's information; the card is filled
//   from the manager's record when "UserLogin" arrives. The views are made once.
// - "切换帐号" keeps the stored token: the login screen logs it out when a new login succeeds.
// - "退出" logs out on the device at once: "UserLogout" is posted while the token is still
//   stored (its observers may read it), then the token is removed and the screen leaves. The
//   portal's logout, which carries the token, is sent first and is best-effort: its reply, a
//   refusal or no reply at all changes nothing.
class UserPersonalCenterViewController : public AdaptedViewController, public NetworkRequestorDelegate {
public:
    UserPersonalCenterViewController();
    ~UserPersonalCenterViewController() override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data) override;

    void loginFinished(const pf::Notification& notification);
    void refreshView();
    void switchAccount();
    void logout();

    // The markup of the coin and point lines.
    static std::string goldCoinMarkup(int coins);
    static std::string lovelyPointMarkup(int points);

    std::shared_ptr<UserInfo> userInfo() const { return m_userInfo; }
    std::shared_ptr<pf::ImageView> userIcon() const { return m_userIcon; }
    std::shared_ptr<pf::Label> nickName() const { return m_nickName; }
    std::shared_ptr<pf::RichTextLabel> goldCoid() const { return m_goldCoid; }
    std::shared_ptr<pf::RichTextLabel> lovelyPoint() const { return m_lovelyPoint; }
    std::shared_ptr<NetworkRequestor> logoutNetworkRequestor() const { return m_logoutNetworkRequestor; }

private:
    void addControls();
    void requestUserLogoutFinished();
    void popViewController();

    std::shared_ptr<pf::View> m_userInfoBakcView;
    std::shared_ptr<pf::ImageView> m_userIcon;
    std::shared_ptr<pf::Label> m_nickName;
    std::shared_ptr<pf::View> m_separateLine1;
    std::shared_ptr<pf::RichTextLabel> m_goldCoid;
    std::shared_ptr<pf::View> m_separateLine2;
    std::shared_ptr<pf::RichTextLabel> m_lovelyPoint;
    std::shared_ptr<pf::Button> m_switchAccoutButton;
    std::shared_ptr<pf::Button> m_logoutButton;
    std::shared_ptr<UserInfo> m_userInfo;
    std::shared_ptr<NetworkRequestor> m_logoutNetworkRequestor;
};
