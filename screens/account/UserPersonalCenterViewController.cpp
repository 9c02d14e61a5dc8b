#include "screens/account/UserPersonalCenterViewController.h"

#include "core/NetworkParameterAssistant.h"
#include "core/NetworkRequestor.h"
#include "core/managers/LoginManager.h"
#include "core/records/UserInfo.h"
#include "core/views/ColorFactory.h"
#include "core/views/CustomControlApperanceCreator.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/kit/ImageViewLoader.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "screens/account/UserLoggingViewController.h"

namespace {

std::shared_ptr<pf::View> hairline(const pf::Rect& frame)
{
    auto line = std::make_shared<pf::View>(frame);
    line->setBackgroundColor(pf::Color::lightGray());
    line->setAlpha(0.3);
    return line;
}

std::shared_ptr<pf::Button> button(const pf::Rect& frame, const char* title, const char* background)
{
    auto b = std::make_shared<pf::Button>(pf::ButtonType::Custom, frame);
    b->setBackgroundColor(ColorFactory::colorWithHexRGB(background));
    b->setTitle(title, pf::ControlState::Normal);
    b->setTitleColor(pf::Color::black(), pf::ControlState::Normal);
    return b;
}

std::string creditMarkup(const char* label, int amount, const char* unit)
{
    return std::string("<font size=15>") + label + "  </font><font size=15 color='#FF7200'>" + std::to_string(amount)
        + "</font><font size=15 color='#FF7200'>" + unit + "</font>";
}

}

UserPersonalCenterViewController::UserPersonalCenterViewController()
{
    onAction("popViewController:", [this](const std::shared_ptr<pf::View>&) { popViewController(); });
    onAction("switchAccount:", [this](const std::shared_ptr<pf::View>&) { switchAccount(); });
    onAction("logout:", [this](const std::shared_ptr<pf::View>&) { logout(); });
}

UserPersonalCenterViewController::~UserPersonalCenterViewController()
{
    pf::NotificationCenter::defaultCenter().removeObserver(this);
}

void UserPersonalCenterViewController::viewDidLoad()
{
    AdaptedViewController::viewDidLoad();
    setTitle("帐号");
    view()->setBackgroundColor(ColorFactory::colorWithHexRGB("eeeef0"));
    CustomControlApperanceCreator::assignCustomBackBarButtonItem(sharedController(), "back.png",
        CustomControlApperanceCreator::backImageFrame(), "popViewController:");
    std::weak_ptr<UserPersonalCenterViewController> weak = std::static_pointer_cast<UserPersonalCenterViewController>(shared_from_this());
    pf::NotificationCenter::defaultCenter().addObserver(weak, LoginManager::kUserLoginNotification, [weak](const pf::Notification& n) {
        if (auto strong = weak.lock())
            strong->loginFinished(n);
    });
}

void UserPersonalCenterViewController::viewWillAppear(bool animated)
{
    AdaptedViewController::viewWillAppear(animated);
    addControls();
    LoginManager::sharedInstance()->requestUserInfo();
}

void UserPersonalCenterViewController::addControls()
{
    auto root = view();
    if (!m_userInfoBakcView) {
        m_userInfoBakcView = std::make_shared<pf::View>(pf::Rect { 20, 10, 280, 160 });
        m_userInfoBakcView->setBackgroundColor(pf::Color::white());
        root->addSubview(m_userInfoBakcView);
    }
    if (!m_userIcon) {
        m_userIcon = std::make_shared<pf::ImageView>(pf::Rect { 40, 40, 40, 40 });
        m_userIcon->setBackgroundColor(pf::Color::clear());
        root->addSubview(m_userIcon);
    }
    if (!m_nickName) {
        m_nickName = std::make_shared<pf::Label>(pf::Rect { 124, 50, 196, 20 });
        m_nickName->setBackgroundColor(pf::Color::clear());
        root->addSubview(m_nickName);
    }
    if (!m_separateLine1) {
        m_separateLine1 = hairline({ 20, 84, 280, 1 });
        root->addSubview(m_separateLine1);
    }
    if (!m_goldCoid) {
        m_goldCoid = std::make_shared<pf::RichTextLabel>(pf::Rect { 24, 92, 196, 20 });
        m_goldCoid->setBackgroundColor(pf::Color::clear());
        root->addSubview(m_goldCoid);
    }
    if (!m_separateLine2) {
        m_separateLine2 = hairline({ 20, 116, 280, 1 });
        root->addSubview(m_separateLine2);
    }
    if (!m_lovelyPoint) {
        m_lovelyPoint = std::make_shared<pf::RichTextLabel>(pf::Rect { 24, 124, 196, 20 });
        m_lovelyPoint->setBackgroundColor(pf::Color::clear());
        root->addSubview(m_lovelyPoint);
    }
    auto self = sharedController();
    if (!m_switchAccoutButton) {
        m_switchAccoutButton = button({ 16, 168, 288, 30 }, "切换帐号", "ffb701");
        m_switchAccoutButton->addTarget(self, "switchAccount:", pf::ControlEvent::TouchUpInside);
        root->addSubview(m_switchAccoutButton);
    }
    if (!m_logoutButton) {
        m_logoutButton = button({ 16, 208, 288, 30 }, "退出", "cbcbcb");
        m_logoutButton->addTarget(self, "logout:", pf::ControlEvent::TouchUpInside);
        root->addSubview(m_logoutButton);
    }
}

void UserPersonalCenterViewController::loginFinished(const pf::Notification&)
{
    m_userInfo = LoginManager::sharedInstance()->userInformation();
    refreshView();
}

std::string UserPersonalCenterViewController::goldCoinMarkup(int coins)
{
    return creditMarkup("我的金币", coins, "金币");
}

std::string UserPersonalCenterViewController::lovelyPointMarkup(int points)
{
    return creditMarkup("我的萌点", points, "萌点");
}

void UserPersonalCenterViewController::refreshView()
{
    if (!m_userInfo)
        return;
    if (m_userIcon)
        pf::ImageViewLoader::setImageWithURL(m_userIcon, m_userInfo->avatar().text());
    if (m_nickName)
        m_nickName->setText(m_userInfo->nickname().text());
    if (m_goldCoid)
        m_goldCoid->setText(goldCoinMarkup(m_userInfo->extcredits1()));
    if (m_lovelyPoint)
        m_lovelyPoint->setText(lovelyPointMarkup(m_userInfo->extcredits2()));
}

void UserPersonalCenterViewController::switchAccount()
{
    if (auto navigation = navigationController())
        navigation->pushViewController(std::make_shared<UserLoggingViewController>(), true);
}

void UserPersonalCenterViewController::logout()
{
    // The request reads the token as it starts, so it carries the token the device forgets next.
    if (auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::UserLogout)) {
        m_logoutNetworkRequestor = NetworkRequestor::create();
        m_logoutNetworkRequestor->startPostMethodURLConnection(*address, NetworkParameterAssistant::parametersForUserLogout(), true,
            std::static_pointer_cast<UserPersonalCenterViewController>(shared_from_this()));
    }
    requestUserLogoutFinished();
}

void UserPersonalCenterViewController::networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes&)
{
    // The device has logged out already; the portal's answer changes nothing.
    if (requestor && requestor == m_logoutNetworkRequestor)
        m_logoutNetworkRequestor.reset();
}

void UserPersonalCenterViewController::requestUserLogoutFinished()
{
    auto keepAlive = shared_from_this();
    pf::NotificationCenter::defaultCenter().post(LoginManager::kUserLogoutNotification);
    LoginManager::sharedInstance()->clearUserToken();
    popViewController();
}

void UserPersonalCenterViewController::popViewController()
{
    if (auto navigation = navigationController())
        navigation->popViewController(true);
}
