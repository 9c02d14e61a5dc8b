#include "AppWorld.h"

#include "app/CommandInterpreter.h"

#include "core/PlatformInfo.h"
#include "core/managers/AppointmentManager.h"
#include "core/managers/SharingManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/CookieStorage.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/LocalNotification.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/Url.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PopoverController.h"
#include "screens/menu/RootViewController.h"
#include "sdk/stats/TalmerinMobStatController.h"
#include "tools/peers/StatsService.h"
#include "tools/peers/apps/BlipApp.h"
#include "tools/peers/apps/ParleyApp.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include <unistd.h>

namespace {

std::shared_ptr<GiftDetailInfo> booking(int fid, long long startTime)
{
    auto gift = std::make_shared<GiftDetailInfo>();
    gift->setFid(fid);
    gift->setTitle("礼包" + std::to_string(fid));
    gift->setStartTime(startTime);
    return gift;
}

std::vector<int> bookedFids()
{
    std::vector<int> fids;
    for (auto& gift : AppointmentManager::sharedInstance()->allAppointmentInfo().value_or(GiftDetailInfo::List {}))
        fids.push_back(gift->fid());
    std::sort(fids.begin(), fids.end());
    return fids;
}

}

TEST(Startup, EveryStepLeavesItsMarkAndASecondLaunchKeepsTheDeviceIdentifier)
{
    AppWorld world;
    auto config = AppInfoConfiguration::sharedInstance();
    config->setHomePageURL("http://m.portal.test/");
    config->setForumBaseURL("http://bbs.portal.test/");
    double now = pf::Clock::shared().now();
    // Opened more than a day ago is stale; a day ago to the second, or later, is kept.
    for (auto& gift : { booking(1, (long long)now - 86401), booking(2, (long long)now - 86400), booking(3, (long long)now + 600) })
        ASSERT_EQ(AppointmentManager::sharedInstance()->addGiftAppointment(*gift), DataBaseManager::Status::Ok);
    // A captcha's tile whose write was killed, beside the last captcha's pictures, a person's
    // files and a link at a temporary's name.
    const std::string captcha = world.env.sandbox().documentsPath() + "/VerificationCodeImages/";
    const std::string theirs = world.env.sandbox().tmpPath() + "/theirs";
    ASSERT_TRUE(pf::FileManager::createDirectory(captcha, true));
    for (const char* name : { "word5.png.tmp-0123456789ab", "word4.png", "word4.png.backup", "notes.txt" })
        ASSERT_TRUE(pf::FileManager::writeAtomically(captcha + name, std::string_view(name)));
    ASSERT_TRUE(pf::FileManager::writeAtomically(theirs, std::string_view("theirs")));
    ASSERT_EQ(::symlink(theirs.c_str(), (captcha + "word6.png.tmp-abcdef012345").c_str()), 0);

    world.launch();
    world.settle();

    EXPECT_EQ(pf::FileManager::contentsOfDirectory(captcha),
        (std::vector<std::string> { "notes.txt", "word4.png", "word4.png.backup", "word6.png.tmp-abcdef012345" }));
    EXPECT_EQ(pf::FileManager::readText(theirs), "theirs");

    std::string imei = pf::UserDefaults::standard()->stringForKey("imei").value_or("");
    EXPECT_EQ(imei, pf::Device::current().identifier());
    EXPECT_EQ(imei.size(), 40u);

    std::vector<std::string> cookieHosts;
    for (auto& cookie : pf::CookieStorage::shared().cookies()) {
        if (cookie.name != "srctype")
            continue;
        EXPECT_EQ(cookie.value, "android");
        EXPECT_EQ(cookie.path, "/");
        EXPECT_EQ(cookie.version, 0);
        cookieHosts.push_back(cookie.domain);
    }
    std::sort(cookieHosts.begin(), cookieHosts.end());
    EXPECT_EQ(cookieHosts, (std::vector<std::string> { "127.0.0.1", "bbs.portal.test", "m.portal.test" }));

    // The portal heard from the app at start-up (automatic login, version check, the lists),
    // every time with the identifier and the gift site's cookie.
    auto requests = world.portal.receivedRequests();
    ASSERT_FALSE(requests.empty());
    for (auto& request : requests) {
        if (!request.path.starts_with("/api/"))
            continue;
        EXPECT_EQ(request.header("imei").value_or(""), imei) << request.path;
        EXPECT_NE(request.header("Cookie").value_or("").find("srctype=android"), std::string::npos) << request.path;
    }

    auto window = world.delegate->window();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(window->backgroundColor(), pf::Color::white());
    auto root = world.delegate->rootViewController();
    EXPECT_EQ(window->rootViewController(), root);
    auto navigation = std::dynamic_pointer_cast<pf::NavigationController>(root->rootViewController());
    ASSERT_TRUE(navigation);
    EXPECT_TRUE(navigation->navigationBar()->backgroundImage());
    EXPECT_EQ(navigation->navigationBar()->titleTextAttributes().color, pf::Color::black());
    EXPECT_FALSE(world.delegate->popoverController());

    auto stat = TalmerinMobStat::defaultStat();
    EXPECT_TRUE(stat->enableExceptionLog());
    EXPECT_EQ(stat->channelId(), "com.Drefan");
    EXPECT_EQ(stat->logStrategy(), 0);
    EXPECT_EQ(stat->logSendInterval(), 1);
    EXPECT_TRUE(stat->logSendWifiOnly());
    EXPECT_EQ(stat->sessionResumeInterval(), 35);
    EXPECT_EQ(stat->shortAppVersion(), "1.0");
    EXPECT_TRUE(stat->enableDebugOn());
    EXPECT_TRUE(stat->controller()->started());
    // Started with strategy 0: the log goes to the statistics service at once.
    auto uploads = world.peers.service<peers::StatsService>()->logs();
    ASSERT_FALSE(uploads.empty());
    EXPECT_EQ(uploads.front()["he"]["c"].stringValue(), "com.Drefan");
    EXPECT_EQ(uploads.front()["he"]["k"].stringValue(), PlatformInfo::sharedInstance()->talmerinMobStatAppKey());

    EXPECT_EQ(bookedFids(), (std::vector<int> { 2, 3 }));
    ASSERT_TRUE(world.delegate->reminderManager());
    EXPECT_TRUE(world.delegate->reminderManager()->isRunning());

    auto platform = PlatformInfo::sharedInstance();
    EXPECT_EQ(parley::PXApi::registeredAppID(), platform->parleyAppID());
    auto parleyRegistrations = peers::ParleyApp::registrations();
    ASSERT_TRUE(parleyRegistrations);
    EXPECT_TRUE(parleyRegistrations->contains(platform->parleyAppID()));
    EXPECT_TRUE(blip::BlipSDK::isDebugModeEnabled());
    EXPECT_EQ(blip::BlipSDK::registeredAppKey(), platform->blipAppKey());
    bool blipRegistered = false;
    for (auto& [key, app] : peers::BlipApp::registeredApps())
        blipRegistered = blipRegistered || key == platform->blipAppKey();
    EXPECT_TRUE(blipRegistered);

    // The next launch finds the identifier and keeps it, even when the device would now
    // answer another one.
    pf::UserDefaults::standard()->setString("imei", "kept-from-the-first-launch");
    world.delegate->window()->setHidden(true);
    pf::Application::shared().reset();
    world.launch({});
    world.settle();
    EXPECT_EQ(pf::UserDefaults::standard()->stringForKey("imei"), "kept-from-the-first-launch");
}

TEST(Startup, TheChannelFollowsWhetherTheBuildIsForTheAppStore)
{
    for (bool forAppStore : { false, true }) {
        SCOPED_TRACE(forAppStore);
        AppWorld world;
        PlatformInfo::sharedInstance()->setIsForAppStore(forAppStore);
        pf::UserDefaults::standard()->setString("imei", "");
        world.launch({});
        world.settle();
        EXPECT_EQ(TalmerinMobStat::defaultStat()->channelId(), forAppStore ? "appStore" : "com.Drefan");
        // An empty identifier counts as none.
        EXPECT_EQ(pf::UserDefaults::standard()->stringForKey("imei").value_or(""), pf::Device::current().identifier());
    }
}

TEST(Startup, OnATabletTheRootFloatsInAPopoverThatStaysUpWhenTouchedOutside)
{
    AppWorld world;
    pf::Device::current().setIdiom(pf::Device::Idiom::Tablet);
    pf::Device::current().setScreenSize(Simulator::kPadWidth, Simulator::kPadHeight);
    world.launch({});
    world.settle();

    auto window = world.delegate->window();
    EXPECT_FALSE(window->rootViewController());
    auto popover = world.delegate->popoverController();
    ASSERT_TRUE(popover);
    EXPECT_TRUE(popover->isPopoverVisible());
    EXPECT_EQ(popover->contentViewController(), world.delegate->rootViewController());
    EXPECT_EQ(popover->popoverContentSize().width, 320);
    EXPECT_EQ(popover->popoverContentSize().height, 480);
    ASSERT_TRUE(world.delegate->popoverBackgroundView());
    EXPECT_EQ(world.delegate->popoverBackgroundView()->frame().size.width, Simulator::kPadWidth);
    // The root's screens are inside the popover, at its size.
    EXPECT_TRUE(pf::Driver().findByText("推荐"));
    EXPECT_EQ(world.delegate->rootViewController()->rootViewController()->view()->frame().size.width, 320);

    pf::Driver driver;
    for (pf::Point outside : { pf::Point { 10, 10 }, pf::Point { 700, 1000 } }) {
        driver.tapAt(outside);
        driver.settle();
        EXPECT_TRUE(popover->isPopoverVisible()) << outside.x;
    }
}

TEST(Startup, OpenedAddressesGoOnlyWhereTheirSourceAppBelongs)
{
    AppWorld world;
    world.launch({ "blip" });
    world.settle();
    world.apps.blip()->setAnswer(std::nullopt); // Blip takes the authorisation but does not answer yet
    auto gift = booking(7, 0);
    gift->setArcurl("http://127.0.0.1/gift/7.html");
    auto manager = SharingManager::sharedInstance();
    manager->sharingWithBlip({ gift }, SharingManager::kGiftDetailDataType);
    world.settle();
    ASSERT_EQ(world.apps.blip()->received().size(), 1u);

    // Blip's answer to the authorisation, staged as Blip stages it; opening it is up to the case.
    auto stageAnswer = [&](const std::string& uid) {
        std::string id = pf::Device::makeUuid();
        std::string requestID = world.apps.blip()->received().front().id;
        pf::Dictionary response { { "__class", "BPAuthorizeResponse" }, { "responseID", id }, { "requestID", requestID },
            { "statusCode", 0 }, { "userID", "42" }, { "accessToken", "t" }, { "expirationDate", pf::Date { 4e9 } } };
        // Sent to an app nobody has installed: the items stay on the pasteboard and nobody is opened.
        peers::BlipApp::sendToApp("nobody", "response", id, response, pf::Dictionary { { "uid", uid } });
        return *pf::Url::fromString("bp" + PlatformInfo::sharedInstance()->blipAppKey() + "://response?id=" + id + "&sdkversion=2.4");
    };
    auto shares = [&] { return world.apps.blip()->received().size() - 1; };

    struct Case {
        std::string source;
        std::string uid;
        bool handled;
        size_t shares;
    };
    const std::vector<Case> cases {
        { "com.apple.mobilesafari", "42", false, 0 }, // a stranger's address is refused unread
        { "com.morrow.mlm", "42", false, 0 },         // LM's client takes no Blip address
        { "com.morrow.lzone", "42", false, 0 },
        { "com.sable.blip", "", true, 0 },            // an authorisation without a user shares nothing
        { "com.sable.blip", "42", true, 1 },          // this one sends the pending share
        { "com.sable.blip", "42", true, 1 },          // which is gone once sent
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source + " uid=" + c.uid);
        auto url = stageAnswer(c.uid);
        EXPECT_EQ(pf::Application::shared().deliverOpenURL(url, c.source), c.handled);
        world.settle();
        EXPECT_EQ(shares(), c.shares);
        // A refused address leaves the staged answer where it was: nobody read it.
        if (!c.handled) {
            EXPECT_FALSE(pf::Pasteboard::general()->items().empty());
        }
        pf::Pasteboard::general()->setItems({});
    }
    EXPECT_FALSE(manager->pendingBlipShare());

    // An LM reply address from anyone but LM (or LZone) is refused too.
    auto reply = *pf::Url::fromString("morrow" + PlatformInfo::sharedInstance()->lZoneAppID() + "://lzapp/login/0?generalpastboard=1");
    EXPECT_FALSE(pf::Application::shared().deliverOpenURL(reply, "com.apple.mobilesafari"));
    EXPECT_FALSE(pf::Application::shared().deliverOpenURL(reply, "com.sable.blip"));
}

TEST(Startup, ALocalNotificationIsOnlyWrittenToTheLog)
{
    AppWorld world;
    world.launch();
    world.settle();
    auto screen = pf::Driver().dump();
    size_t requests = world.portal.receivedRequests().size();
    pf::LocalNotification notification;
    notification.alertBody = "礼包开抢了";
    notification.userInfo.set("fid", 7);
    pf::Log::startCapture();
    pf::Application::shared().deliverLocalNotification(notification);
    world.settle();
    auto logged = pf::Log::captured();
    pf::Log::stopCapture();

    EXPECT_EQ(logged, std::vector<std::string> { "notification = " + notification.description() });
    EXPECT_EQ(pf::Driver().dump(), screen) << "nothing opened";
    EXPECT_EQ(world.portal.receivedRequests().size(), requests);
}

TEST(Startup, AWholeSessionSendsOneIdentifierAndTheTokenOnlyWhereItBelongs)
{
    AppWorld world;
    world.launch();
    std::ostringstream out;
    CommandInterpreter interpreter(out);
    // Logged out, a pick-up that logs in first, a claim through the captcha, the codes, the
    // personal centre's logout and the feedback page as nobody.
    const std::vector<std::string> session { "idle", "tap \"以后再说\"", "tap row 4", "wait 0.5", "idle", "tap \"淘号\"", "wait 0.5",
        "type \"userName\" \"demo\"", "type \"password\" \"demo123\"", "tap \"登录\"", "idle", "wait 4", "back", "wait 0.5", "tap row 0",
        "wait 0.5", "idle", "tap \"领取\"", "idle", "wait 1", "tap tag 10", "tap tag 11", "tap tag 12", "tap tag 13", "tap \"确定\"",
        "idle", "back", "wait 0.5", "open mygifts", "idle", "wait 0.5", "back", "wait 0.5", "menu", "idle", "tap \"萌新玩家\"", "idle",
        "tap \"退出\"", "wait 0.5", "idle", "drag 150", "tap \"反馈\"", "idle", "wait 0.5" };
    for (const auto& line : session)
        interpreter.execute(line);
    world.settle();

    // What sends the user's token: the user's information, the claim and its captcha, the
    // user's codes, the logout and the feedback page.
    const std::set<std::string> withToken { "/api/user/info", "/api/ka/capth", "/api/ka/receive", "/api/ka/mine", "/api/user/logout",
        "/api/user/refer" };
    std::string imei = pf::UserDefaults::standard()->stringForKey("imei").value_or("");
    ASSERT_FALSE(imei.empty());
    std::set<std::string> paths;
    std::set<std::string> authorised;
    for (auto& request : world.portal.receivedRequests()) {
        if (!request.path.starts_with("/api/"))
            continue;
        paths.insert(request.path);
        // The feedback page is the web view's own request, which names only the token.
        if (request.path != "/api/user/refer") {
            EXPECT_EQ(request.header("imei").value_or(""), imei) << request.method << " " << request.path;
            EXPECT_EQ(request.headerCount("imei"), 1u) << request.path;
        }
        if (request.header("Authorization")) {
            authorised.insert(request.path);
            EXPECT_TRUE(withToken.count(request.path)) << request.path << " sent the user's token";
        }
    }
    for (const char* path : { "/api/ka/list", "/api/ka/info", "/api/user/credentials", "/api/ka/receive", "/api/ka/capth", "/api/ka/mine",
             "/api/user/logout" })
        EXPECT_TRUE(paths.count(path)) << path << " was never asked; the session went another way:\n" << out.str();
    for (const char* path : { "/api/ka/receive", "/api/ka/capth", "/api/ka/mine", "/api/user/logout" })
        EXPECT_TRUE(authorised.count(path)) << path;
}
