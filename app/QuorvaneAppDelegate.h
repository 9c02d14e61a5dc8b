#pragma once

#include "platform/foundation/ApplicationDelegate.h"
#include "sdk/libBlipSDK/BlipSDKDelegate.h"

#include <memory>
#include <string>

class ReminderManager;
class RootViewController;

namespace pf {
class NavigationController;
class PopoverController;
class View;
class Window;
}

// The application's delegate: it starts the app and later takes the addresses other apps open
// it with.
//
// Start-up, in this order: the window over the main screen; the stored device identifier
// ("imei", filled once, then kept); a cookie "srctype" = "android" for the portal's mobile site,
// forum and gift site; the root (the side-menu container around a navigation controller holding
// the gift category screen), as the window's root on a phone or in a 320 x 480 popover that
// stays up when touched outside on a tablet; the usage statistics configured and started; stale
// bookings purged; what killed writes of the captcha's pictures left removed; the booking
// reminder started; the app registered with Parley and Blip; the window white, key and shown.
//
// Rules:
// - An opened address is routed by the app that opened it: LM's (and LZone's replies) to the
//   LM Connect client, Blip's to the Blip client; any other source is refused unread.
// - A local notification is only written to the log ("notification = " and its description);
//   the app schedules none.
// - A Blip authorisation answer that carries a non-empty "uid" sends the pending Blip share;
//   nothing else from Blip does anything.
// - Main thread only; made once and kept for the process.
class QuorvaneAppDelegate : public pf::ApplicationDelegate,
                            public blip::BlipSDKDelegate,
                            public std::enable_shared_from_this<QuorvaneAppDelegate> {
public:
    static constexpr const char* kDeviceIdentifierKey = "imei";
    static constexpr const char* kAppStoreChannel = "appStore";
    static constexpr const char* kOtherChannel = "com.Drefan";
    static constexpr int kSessionResumeInterval = 35;
    static constexpr double kPopoverWidth = 320;
    static constexpr double kPopoverHeight = 480;

    bool didFinishLaunching(pf::Application& application, const pf::Dictionary& options) override;
    bool openURL(pf::Application& application, const pf::Url& url, const std::string& sourceApplication) override;
    void didReceiveLocalNotification(pf::Application& application, const pf::LocalNotification& notification) override;

    void didReceiveBlipRequest(const std::shared_ptr<blip::BPBaseRequest>& request) override;
    void didReceiveBlipResponse(const std::shared_ptr<blip::BPBaseResponse>& response) override;

    // --- start-up steps ---
    void assignImie();
    void assignCookie();
    void fetchRootViewController();
    static void assignNavigationBarAppearence(pf::NavigationController& navigation);
    void showRootViewForIPad();
    void doTalmerinMobStat();
    void refreshAppointmentRecords();
    void startReminder();
    void doSharePlatformRegister();

    std::shared_ptr<pf::Window> window() const { return m_window; }
    std::shared_ptr<RootViewController> rootViewController() const { return m_rootViewController; }
    std::shared_ptr<pf::View> popoverBackgroundView() const { return m_popoverBackgroundView; }
    std::shared_ptr<pf::PopoverController> popoverController() const { return m_popoverController; }
    std::shared_ptr<ReminderManager> reminderManager() const { return m_reminderManager; }

private:
    std::shared_ptr<pf::Window> m_window;
    std::shared_ptr<RootViewController> m_rootViewController;
    std::shared_ptr<pf::View> m_popoverBackgroundView;
    std::shared_ptr<pf::PopoverController> m_popoverController;
    std::shared_ptr<ReminderManager> m_reminderManager;
};
