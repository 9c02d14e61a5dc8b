#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/Application.h"
#include "platform/foundation/Bundle.h"
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
