#include "app/QuorvaneAppDelegate.h"

#include "core/AppInfoConfiguration.h"
#include "core/PlatformInfo.h"
#include "core/managers/AppointmentManager.h"
#include "core/managers/ReminderManager.h"
#include "core/managers/SharingManager.h"
#include "core/managers/VerificationCodeImageManager.h"
#include "core/views/ColorFactory.h"
#include "core/views/ColorfulImage.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/CookieStorage.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/LocalNotification.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PopoverController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "screens/gifts/GiftCategoryViewController.h"
#include "screens/menu/RootViewController.h"
#include "sdk/libBlipSDK/BPAuthorizeResponse.h"
#include "sdk/libBlipSDK/BlipSDK.h"
#include "sdk/libParleySDK/PXApi.h"
#include "sdk/lmconnect/apps/MorrowOpenURLRouter.h"
#include "sdk/stats/TalmerinMobStat.h"

bool QuorvaneAppDelegate::didFinishLaunching(pf::Application&, const pf::Dictionary&)
{
    m_window = std::make_shared<pf::Window>(pf::Screen::main().bounds());
    assignImie();
    assignCookie();
    fetchRootViewController();
    if (pf::Device::current().isTablet())
        showRootViewForIPad();
    else
        m_window->setRootViewController(m_rootViewController);
    doTalmerinMobStat();
    refreshAppointmentRecords();
    VerificationCodeImageManager::removeLeftovers();
    startReminder();
    doSharePlatformRegister();
    m_window->setBackgroundColor(pf::Color::white());
    m_window->makeKeyAndVisible();
    return true;
}

void QuorvaneAppDelegate::assignImie()
{
    auto defaults = pf::UserDefaults::standard();
    auto stored = defaults->stringForKey(kDeviceIdentifierKey);
    if (stored && !stored->empty())
        return;
    defaults->setString(kDeviceIdentifierKey, pf::Device::current().identifier());
    defaults->synchronize();
}

void QuorvaneAppDelegate::assignCookie()
{
    for (const auto& host : AppInfoConfiguration::sharedInstance()->cookieHosts()) {
        pf::HttpCookie cookie;
        cookie.name = "srctype";
        cookie.value = "android";
        cookie.domain = host;
        cookie.path = "/";
        cookie.version = 0;
        pf::CookieStorage::shared().setCookie(std::move(cookie));
    }
}

void QuorvaneAppDelegate::fetchRootViewController()
{
    auto category = std::make_shared<GiftCategoryViewController>();
    auto navigation = std::make_shared<pf::NavigationController>(category);
    assignNavigationBarAppearence(*navigation);
    m_rootViewController = std::make_shared<RootViewController>(navigation);
}

void QuorvaneAppDelegate::assignNavigationBarAppearence(pf::NavigationController& navigation)
{
    auto bar = navigation.navigationBar();
    pf::TitleTextAttributes attributes = bar->titleTextAttributes();
    attributes.color = pf::Color::black();
    bar->setTitleTextAttributes(attributes);
    if (auto background = ColorFactory::colorWithHexRGB("eeeef0"))
        bar->setBackgroundImage(ColorfulImage::imageWithColor(*background));
}

void QuorvaneAppDelegate::showRootViewForIPad()
{
    m_popoverController = std::make_shared<pf::PopoverController>(m_rootViewController);
    m_popoverController->setPopoverContentSize({ kPopoverWidth, kPopoverHeight });
    m_popoverBackgroundView = std::make_shared<pf::View>(pf::Screen::main().bounds());
    m_popoverBackgroundView->setBackgroundColor(pf::Color::clear());
    m_popoverBackgroundView->setUserInteractionEnabled(true);
    m_window->addSubview(m_popoverBackgroundView);
    // Touches outside the popover land on the background view and leave the popover up.
    m_popoverController->setPassthroughViews({ m_popoverBackgroundView });
    m_popoverController->presentPopoverFromRect({ 380, 450, 1, 1 }, m_window, pf::PopoverArrowDirection::Unknown, true);
}

void QuorvaneAppDelegate::doTalmerinMobStat()
{
    auto stat = TalmerinMobStat::defaultStat();
    auto platform = PlatformInfo::sharedInstance();
    stat->setEnableExceptionLog(true);
    stat->setChannelId(platform->isForAppStore() ? kAppStoreChannel : kOtherChannel);
    stat->setLogStrategy(0);
    stat->setLogSendInterval(1);
    stat->setLogSendWifiOnly(true);
    stat->setSessionResumeInterval(kSessionResumeInterval);
    stat->setShortAppVersion(pf::Bundle::main()->shortVersion());
    stat->setEnableDebugOn(true);
    stat->startWithAppId(platform->talmerinMobStatAppKey());
}

void QuorvaneAppDelegate::refreshAppointmentRecords()
{
    AppointmentManager::sharedInstance()->removeOutDateAppointment();
}

void QuorvaneAppDelegate::startReminder()
{
    m_reminderManager = ReminderManager::sharedInstance();
    m_reminderManager->startReminider();
}

void QuorvaneAppDelegate::doSharePlatformRegister()
{
    auto platform = PlatformInfo::sharedInstance();
    parley::PXApi::registerApp(platform->parleyAppID());
    blip::BlipSDK::enableDebugMode(true);
    blip::BlipSDK::registerApp(platform->blipAppKey());
}

bool QuorvaneAppDelegate::openURL(pf::Application&, const pf::Url& url, const std::string& sourceApplication)
{
    std::weak_ptr<QuorvaneAppDelegate> weak = weak_from_this();
    return MorrowOpenURLRouter::route(url, sourceApplication, [weak](const pf::Url& blipUrl) {
        auto self = weak.lock();
        return self && blip::BlipSDK::handleOpenURL(blipUrl, self);
    });
}

void QuorvaneAppDelegate::didReceiveLocalNotification(pf::Application&, const pf::LocalNotification& notification)
{
    pf::Log::line("notification = " + notification.description());
}

void QuorvaneAppDelegate::didReceiveBlipRequest(const std::shared_ptr<blip::BPBaseRequest>&)
{
}

void QuorvaneAppDelegate::didReceiveBlipResponse(const std::shared_ptr<blip::BPBaseResponse>& response)
{
    auto authorization = std::dynamic_pointer_cast<blip::BPAuthorizeResponse>(response);
    if (!authorization || !authorization->userInfo)
        return;
    const pf::Value* uid = authorization->userInfo->find("uid");
    if (!uid || !uid->asString() || uid->asString()->empty())
        return;
    SharingManager::sharedInstance()->doShareWithBlip();
}
