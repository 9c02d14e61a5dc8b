#include "screens/menu/RootViewController.h"

#include "core/managers/LoginManager.h"
#include "core/managers/UpdatingCheckManager.h"
#include "core/records/UserInfo.h"
#include "core/views/UserAccountPromptView.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Window.h"
#include "screens/menu/LeftEntranceViewController.h"

RootViewController::~RootViewController()
{
    pf::NotificationCenter::defaultCenter().removeObserver(this);
}

void RootViewController::viewDidLoad()
{
    DDMenuController::viewDidLoad();
    fetchLeftViewController();
    LoginManager::sharedInstance()->requestAutoLoginUserInfo();
    std::weak_ptr<RootViewController> weak = std::static_pointer_cast<RootViewController>(shared_from_this());
    pf::NotificationCenter::defaultCenter().addObserver(weak, LoginManager::kAutoLoginUserInfoNotification,
        [weak](const pf::Notification& n) {
            if (auto strong = weak.lock())
                strong->getUserInfoFinished(n);
        });
    UpdatingCheckManager::sharedInstance()->checkBoxUpdating(false);
}

void RootViewController::fetchLeftViewController()
{
    auto menu = std::make_shared<LeftEntranceViewController>();
    menu->setSuperViewController(std::static_pointer_cast<DDMenuController>(shared_from_this()));
    setLeftViewController(menu);
}

void RootViewController::viewWillAppear(bool animated)
{
    DDMenuController::viewWillAppear(animated);
    auto& device = pf::Device::current();
    if (device.isTablet() && device.systemVersionFloat() >= 7.0)
        setPreferredContentSize({ 320, 480 });
}

void RootViewController::getUserInfoFinished(const pf::Notification&)
{
    m_userInfo = LoginManager::sharedInstance()->userInformation();
    showLoginSuccesedPromptText();
}

std::vector<std::string> RootViewController::greetingLines(const UserInfo& user)
{
    std::vector<std::string> lines {
        "<font size=13>欢迎回来.</font>",
        "<font size=15 color='#FF7200'>" + pf::RichTextLabel::escape(user.userName().text()) + "</font>",
    };
    if (user.updatecredit()) {
        int coins = user.ext1() != 0 ? user.ext1() : user.ext2();
        lines.push_back("<font size=13>恭喜您获得了</font><font size=13 color='#FF7200'>" + std::to_string(coins)
            + "</font><font size=13>金币.</font>");
    }
    return lines;
}

void RootViewController::showLoginSuccesedPromptText()
{
    m_userAccountPromptView = std::make_shared<UserAccountPromptView>(pf::Rect { 40, 100, 240, 160 });
    m_userAccountPromptView->setBackgroundColor(pf::Color::gray());
    m_userAccountPromptView->assignText(m_userInfo ? greetingLines(*m_userInfo) : greetingLines(UserInfo()));
    showPromptView();
}

void RootViewController::showPromptView()
{
    auto panel = m_userAccountPromptView;
    auto window = pf::Window::keyWindow();
    if (!panel || !window)
        return;
    pf::Rect bounds = window->bounds();
    panel->setCenter({ bounds.midX(), bounds.midY() });
    window->addSubview(panel);
    panel->setAlpha(1.0);
    pf::Animation::animate(kPromptFadeDuration,
        [panel] {
            panel->setHidden(false);
            panel->setAlpha(0.0);
        },
        [panel](bool) {
            panel->removeFromSuperview();
            panel->setHidden(true);
        });
}
