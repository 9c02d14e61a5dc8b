// The version check against the local portal, and against a stand-in for a broken server or
// proxy for the replies the portal itself never sends.
#include "core/AppInfoConfiguration.h"
#include "core/NetworkRequestor.h"
#include "core/managers/UpdatingCheckManager.h"
#include "core/records/BoxUpdatingInfo.h"
#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Url.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/Label.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/TestHttpServer.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Screen.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/ui/Window.h"
#include "tests/support/PortalTestClient.h"

#include <gtest/gtest.h>

namespace {

class VersionCheck : public ::testing::Test {
protected:
    VersionCheck()
    {
        pf::UIEnvironment::reset();
        EXPECT_TRUE(portal.start());
        PortalTestClient::pointEverythingAt(portal);
        pf::Bundle::main()->setInfoValue("CFBundleShortVersionString", "1.0.3");
        pf::AppRegistry::shared().clearRecords();
        window = std::make_shared<pf::Window>(pf::Screen::main().bounds());
        window->makeKeyAndVisible();
        manager->dismissVersionUpdatingView();
    }
    ~VersionCheck() override
    {
        manager->dismissVersionUpdatingView();
        pf::UIEnvironment::reset();
        AppInfoConfiguration::sharedInstance()->readAppConfigurationFromPlistFie();
    }

    // Starts a check and runs until its reply has been handled.
    void check(bool isExplicit)
    {
        manager->checkBoxUpdating(isExplicit);
        auto requestor = manager->updatingCheckNetworkRequestor();
        ASSERT_TRUE(requestor);
        EXPECT_TRUE(env.runUntil([&] { return !requestor->isRunning(); }));
        env.runUntilIdle();
    }

    std::vector<std::string> opened() const
    {
        std::vector<std::string> urls;
        for (const auto& o : pf::AppRegistry::shared().openedURLs())
            urls.push_back(o.url);
        return urls;
    }

    // The label showing `text` anywhere on the key window, whatever its alpha (a fading toast
    // is on screen although its model alpha is already 0).
    static std::shared_ptr<pf::Label> labelOnWindow(const pf::View& view, const std::string& text)
    {
        for (const auto& sub : view.subviews()) {
            if (auto label = std::dynamic_pointer_cast<pf::Label>(sub); label && label->text() == text)
                return label;
            if (auto found = labelOnWindow(*sub, text))
                return found;
        }
        return nullptr;
    }

    bool showsAnything() const
    {
        return labelOnWindow(*window, "关于") || labelOnWindow(*window, UpdatingCheckManager::kLatestVersionMessage);
    }

    pf::TaskEnvironment env;
    portal::PortalServer portal;
    std::shared_ptr<pf::Window> window;
    std::shared_ptr<UpdatingCheckManager> manager = UpdatingCheckManager::sharedInstance();
    pf::Driver driver;
};

}

TEST_F(VersionCheck, AnOfferShowsThePanelAndInstallOpensTheEscapedManifestAddress)
{
    // "Later" closes the panel; a new offer replaces the one shown.
    check(true);
    check(false);
    EXPECT_EQ(driver.findAllByText("关于").size(), 1u);
    ASSERT_TRUE(driver.tapText("以后再说"));
    EXPECT_FALSE(showsAnything());
    EXPECT_TRUE(opened().empty());
    portal.clearReceivedRequests();

    check(false);
    auto received = portal.receivedRequests();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].path, "/api/game/verup");
    EXPECT_NE(received[0].body.find("version=1.0.3"), std::string::npos);

    ASSERT_TRUE(manager->versionUpdatingView());
    EXPECT_TRUE(driver.findByText("关于"));
    EXPECT_TRUE(driver.findByText("OstvikPellomar V1.0.3"));
    auto offered = driver.findOfType<pf::RichTextLabel>();
    ASSERT_TRUE(offered);
    EXPECT_EQ(offered->plainText(), "发现新版本 V1.2.0");
    ASSERT_FALSE(offered->runs().empty());
    EXPECT_EQ(offered->runs().back().text, "V1.2.0");

    ASSERT_TRUE(driver.tapText("立刻更新"));
    EXPECT_FALSE(driver.findByText("关于"));
    EXPECT_FALSE(manager->versionUpdatingView());
    std::string manifest = portal.rootURL() + "download/quorvane-1.2.0.plist";
    EXPECT_EQ(opened(), (std::vector<std::string> { "itms-services://?action=download-manifest&url=http%3A%2F%2F127.0.0.1%3A"
                  + std::to_string(portal.port()) + "%2Fdownload%2Fquorvane-1.2.0.plist" }));
    EXPECT_EQ(manager->boxUpdatingInfo()->downloadURL().text(), manifest);
}

TEST_F(VersionCheck, UpToDateIsToldOnlyWhenAskedAndTheToastFades)
{
    pf::Bundle::main()->setInfoValue("CFBundleShortVersionString", "1.2.0");
    check(false);
    EXPECT_FALSE(showsAnything());

    check(true);
    auto toast = labelOnWindow(*window, UpdatingCheckManager::kLatestVersionMessage);
    ASSERT_TRUE(toast);
    EXPECT_FALSE(labelOnWindow(*window, "关于"));
    driver.advance(UpdatingCheckManager::kToastDuration / 2);
    EXPECT_LT(toast->superview()->layer().presentationOpacity(), 0.9);
    driver.advance(UpdatingCheckManager::kToastDuration / 2);
    EXPECT_FALSE(showsAnything());
    EXPECT_FALSE(toast->superview());

    // A portal with nothing to offer answers without a body: the same answer.
    pf::TestHttpServer plain;
    plain.reply("POST", "/api/game/verup", 200, R"({"ret":0})", "application/json");
    AppInfoConfiguration::sharedInstance()->setApiBaseURL(plain.url("/api/"));
    check(false);
    EXPECT_FALSE(showsAnything());
    check(true);
    EXPECT_TRUE(labelOnWindow(*window, UpdatingCheckManager::kLatestVersionMessage));
    driver.advance(UpdatingCheckManager::kToastDuration);
}

TEST_F(VersionCheck, RepliesThatAreNoAnswerNeverClaimTheAppIsUpToDate)
{
    // The portal refusing the request (a wrong key), on an app that is up to date.
    AppInfoConfiguration::sharedInstance()->setAppKey("not-the-portals-key");
    pf::Bundle::main()->setInfoValue("CFBundleShortVersionString", "1.2.0");
    check(true);
    check(false);
    EXPECT_FALSE(showsAnything());

    pf::TestHttpServer broken;
    AppInfoConfiguration::sharedInstance()->setApiBaseURL(broken.url("/api/"));
    const std::string offer = R"("body":{"status":1,"version":"9.9","downurl":"https://evil.test/x.plist"})";
    const std::vector<std::pair<int, std::string>> replies {
        { 502, "<html><body>502 Bad Gateway</body></html>" },
        { 200, "" },
        { 200, "[0]" },
        { 200, "\"ret\"" },
        { 200, "{" + offer + "}" },                      // no "ret"
        { 200, R"({"ret":null,)" + offer + "}" },
        { 200, R"({"ret":"busy",)" + offer + "}" },
        { 200, R"({"ret":3,"msg":"稍后再试",)" + offer + "}" },
        { 200, R"({"ret":0,"body":[1]})" },
    };
    for (const auto& [status, body] : replies) {
        broken.reply("POST", "/api/game/verup", status, body, "application/json");
        check(true);
        EXPECT_FALSE(showsAnything()) << body;
        check(false);
        EXPECT_FALSE(showsAnything()) << body;
    }
    EXPECT_TRUE(opened().empty());

    // The reply of a requestor that is not the current one is not taken either.
    const std::string answer = R"({"ret":0,)" + offer + "}";
    manager->networkRequestorDidFinishWithData(NetworkRequestor::create(), pf::Bytes(answer.begin(), answer.end()));
    EXPECT_FALSE(showsAnything());
}

TEST_F(VersionCheck, TheLogSaysWhyAReplyOffersNoVersion)
{
    pf::TestHttpServer broken;
    AppInfoConfiguration::sharedInstance()->setApiBaseURL(broken.url("/api/"));
    const std::vector<std::pair<std::string, std::string>> replies {
        { "<html>404</html>", "the reply (16 bytes) is not a portal reply" },
        { R"({"ret":3,"msg":"稍后再试"})", "the portal refused it: 稍后再试" },
        { R"({"ret":"busy"})", "the portal refused it without a message" },
        { R"({"ret":0,"body":[1]})", "the reply's body is not a dictionary" },
    };
    for (const auto& [body, reason] : replies) {
        broken.reply("POST", "/api/game/verup", 200, body, "application/json");
        pf::Log::startCapture();
        check(false);
        EXPECT_EQ(pf::Log::captured(), std::vector<std::string> { "UpdatingCheckManager: the version check failed: " + reason }) << body;
        pf::Log::stopCapture();
    }
}

TEST_F(VersionCheck, OfferedTextsAreShownAsTextAndTheAddressStaysWhole)
{
    pf::TestHttpServer server;
    AppInfoConfiguration::sharedInstance()->setApiBaseURL(server.url("/api/"));
    const std::string downurl = "https://dl.test/m.plist?a=1&b=two words#frag";
    server.reply("POST", "/api/game/verup", 200,
        R"({"ret":"0","body":{"status":1,"version":"</font><font size=40>2.0","downurl":")" + downurl + R"("}})",
        "application/json");
    check(true);

    auto offered = driver.findOfType<pf::RichTextLabel>();
    ASSERT_TRUE(offered);
    EXPECT_EQ(offered->plainText(), "发现新版本 V</font><font size=40>2.0");
    ASSERT_TRUE(driver.tapText("立刻更新"));
    ASSERT_EQ(opened().size(), 1u);
    EXPECT_EQ(opened()[0], "itms-services://?action=download-manifest&url=https%3A%2F%2Fdl.test%2Fm.plist%3Fa%3D1%26b%3Dtwo%20words%23frag");
    auto url = pf::Url::fromString(opened()[0]);
    ASSERT_TRUE(url);
    std::optional<std::string> value;
    for (const auto& item : url->queryItems())
        if (item.name == "url" && item.value)
            value = pf::Url::unescape(*item.value);
    EXPECT_EQ(value, downurl);
}
