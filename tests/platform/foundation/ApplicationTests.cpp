#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/Application.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/LocalNotification.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Url.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

using namespace pf;

namespace {

struct RecordingDelegate : ApplicationDelegate {
    std::vector<std::string> calls;
    std::vector<std::pair<std::string, std::string>> opened;
    bool answer { true };

    bool didFinishLaunching(Application&, const Dictionary&) override { calls.push_back("launch"); return true; }
    bool openURL(Application&, const Url& url, const std::string& source) override
    {
        opened.emplace_back(url.absoluteString(), source);
        return answer;
    }
    void willResignActive(Application&) override { calls.push_back("resign"); }
    void didEnterBackground(Application&) override { calls.push_back("background"); }
    void willEnterForeground(Application&) override { calls.push_back("foreground"); }
    void didBecomeActive(Application&) override { calls.push_back("active"); }
    void willTerminate(Application&) override { calls.push_back("terminate"); }
    void didReceiveLocalNotification(Application&, const LocalNotification& notification) override { notifications.push_back(notification); }
    std::vector<LocalNotification> notifications;
};

Url url(const char* text)
{
    return *Url::fromString(text);
}

}

TEST(Application, LifeCycleCallsTheDelegateThenPostsInThePlatformsOrder)
{
    TaskEnvironment env;
    auto delegate = std::make_shared<RecordingDelegate>();
    auto& app = Application::shared();
    app.setDelegate(delegate);
    std::vector<std::string> posted;
    auto owner = std::make_shared<int>();
    for (const char* name : { Application::kWillResignActiveNotification, Application::kDidEnterBackgroundNotification,
             Application::kWillEnterForegroundNotification, Application::kDidBecomeActiveNotification, Application::kWillTerminateNotification })
        NotificationCenter::defaultCenter().addObserver(owner, name, [&posted](const Notification& n) { posted.push_back(n.name); });

    EXPECT_TRUE(app.finishLaunching());
    EXPECT_EQ(app.state(), Application::State::Active);
    app.enterBackground();
    app.enterBackground(); // already there
    EXPECT_EQ(app.state(), Application::State::Background);
    app.enterForeground();
    app.terminate();
    EXPECT_EQ(delegate->calls, (std::vector<std::string> { "launch", "active", "resign", "background", "foreground", "active", "terminate" }));
    EXPECT_EQ(posted, (std::vector<std::string> { Application::kDidBecomeActiveNotification, Application::kWillResignActiveNotification,
                          Application::kDidEnterBackgroundNotification, Application::kWillEnterForegroundNotification,
                          Application::kDidBecomeActiveNotification, Application::kWillTerminateNotification }));
}

TEST(AppRegistry, CanOpenAndOpenAnswerFromInstalledAppsAndAreRecorded)
{
    TaskEnvironment env;
    auto& registry = AppRegistry::shared();
    EXPECT_FALSE(registry.canOpenURL(url("mlm://x")));
    EXPECT_TRUE(registry.canOpenURL(url("https://example.com/")));
    EXPECT_TRUE(registry.canOpenURL(url("itms-services://?action=download-manifest&url=x")));

    std::vector<std::pair<std::string, std::string>> received;
    registry.install({ "com.morrow.mlm", { "mlm", "mlmbrowser" },
        [&](const Url& u, const std::string& source) { received.emplace_back(u.absoluteString(), source); } });
    EXPECT_TRUE(registry.canOpenURL(url("MLM://x")));
    EXPECT_TRUE(registry.isInstalled("com.morrow.mlm"));

    EXPECT_TRUE(Application::shared().openURL(url("mlm://share?x=1")));
    EXPECT_TRUE(received.empty()); // the other app gets it later, not inside openURL
    env.runUntilIdle();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].first, "mlm://share?x=1");
    EXPECT_EQ(received[0].second, Bundle::main()->bundleIdentifier());

    EXPECT_FALSE(Application::shared().openURL(url("unknown://x")));
    registry.setForcedOpenResult(false);
    EXPECT_FALSE(Application::shared().openURL(url("mlm://refused")));
    env.runUntilIdle();
    EXPECT_EQ(received.size(), 1u); // a refused open delivers nothing
    registry.setForcedOpenResult(true);
    EXPECT_TRUE(Application::shared().openURL(url("unknown://forced")));

    auto opened = registry.openedURLs();
    ASSERT_EQ(opened.size(), 4u);
    EXPECT_EQ(opened[1].url, "unknown://x");
    EXPECT_EQ(registry.queriedURLs().size(), 4u);

    registry.uninstall("com.morrow.mlm");
    registry.setForcedOpenResult(std::nullopt);
    EXPECT_FALSE(registry.canOpenURL(url("mlm://x")));
}

TEST(AppRegistry, AReplyFromAnotherAppReachesTheDelegateWithItsSource)
{
    TaskEnvironment env;
    auto bundle = Bundle::main();
    bundle->setInfoValue("CFBundleURLTypes", Array { Dictionary { { "CFBundleURLSchemes", Array { "bp123" } } } });
    auto delegate = std::make_shared<RecordingDelegate>();
    Application::shared().setDelegate(delegate);

    // A stand-in vendor app that answers every request by opening the app's reply URL.
    AppRegistry::shared().install({ "com.sable.blip", { "blipapi" }, [](const Url&, const std::string&) {
                                       AppRegistry::shared().openURL(*Url::fromString("bp123://response?ok=1"), "com.sable.blip");
                                   } });
    EXPECT_TRUE(Application::shared().openURL(url("blipapi://request")));
    env.runUntilIdle();
    ASSERT_EQ(delegate->opened.size(), 1u);
    EXPECT_EQ(delegate->opened[0], (std::pair<std::string, std::string> { "bp123://response?ok=1", "com.sable.blip" }));

    // Without a delegate an opened URL is simply not handled.
    Application::shared().setDelegate(nullptr);
    EXPECT_FALSE(Application::shared().deliverOpenURL(url("bp123://x"), "com.sable.blip"));
    bundle->setInfoValue("CFBundleURLTypes", Array {});
}

TEST(Application, ALocalNotificationReachesTheDelegateOnTheMainLoopAfterTheCall)
{
    TaskEnvironment env;
    auto delegate = std::make_shared<RecordingDelegate>();
    Application::shared().setDelegate(delegate);
    LocalNotification notification;
    notification.fireDate = Date { 1700000000 };
    notification.alertBody = "礼包开抢了";
    notification.userInfo.set("fid", 7);

    Application::shared().deliverLocalNotification(notification);
    EXPECT_TRUE(delegate->notifications.empty());
    env.runUntilIdle();
    EXPECT_EQ(delegate->notifications, std::vector<LocalNotification> { notification });
    EXPECT_TRUE(delegate->calls.empty()); // no life-cycle step comes with it

    // A delegate gone by the time it fires, or one that does not listen, hears nothing.
    Application::shared().deliverLocalNotification(notification);
    Application::shared().setDelegate(nullptr);
    env.runUntilIdle();
    Application::shared().setDelegate(std::make_shared<ApplicationDelegate>());
    Application::shared().deliverLocalNotification(notification);
    env.runUntilIdle();
    EXPECT_EQ(delegate->notifications.size(), 1u);
}

TEST(LocalNotification, DescriptionNamesEveryFieldAndAbsentOnesAsNull)
{
    TaskEnvironment env;
    EXPECT_EQ(LocalNotification {}.description(),
        "<LocalNotification>{fire date = (null), alert body = (null), alert action = (null), sound name = (null), "
        "application icon badge number = 0, user info = {}}");
    LocalNotification full { Date { 0 }, "body", "open", "ding.caf", 3, Dictionary {} };
    full.userInfo.set("fid", 7);
    std::string text = full.description();
    // The device's zone is China time in tests.
    EXPECT_NE(text.find("fire date = 1970-01-01 08:00:00 +0800"), std::string::npos) << text;
    EXPECT_NE(text.find("alert body = body, alert action = open, sound name = ding.caf, application icon badge number = 3"), std::string::npos) << text;
    EXPECT_NE(text.find("\"fid\""), std::string::npos) << text;
}
