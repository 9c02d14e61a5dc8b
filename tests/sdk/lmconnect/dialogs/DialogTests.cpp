#include "tests/sdk/lmconnect/web/WebSessionFixture.h"

#include "sdk/lmconnect/dialogs/MorrowDialogs.h"
#include "sdk/lmconnect/web/MRUiKit.h"
#include "sdk/lmconnect/web/MRWebViewKit.h"
#include "tools/peers/apps/LZoneApp.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/Sandbox.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"

namespace {

class DialogTest : public WebSessionTest {
protected:
    DialogTest()
    {
        session->setAccessToken(std::string("TOKEN-1"));
        session->setOpenId(std::string("OPENID-1"));
        session->setExpirationDate(env.now() + 3600);
    }
    std::shared_ptr<MRWebViewKit> dialogWindow() const
    {
        auto holder = session->dialogs()->mrUiKit();
        return holder ? holder->webViewKit() : nullptr;
    }
    std::shared_ptr<pf::WebView> dialogPage() const
    {
        auto window = dialogWindow();
        return window && window->webViewController() ? window->webViewController()->webview() : nullptr;
    }
    // The shown dialog page's parameters, once it has loaded.
    std::optional<pf::Dictionary> shownParameters()
    {
        env.runUntilIdle();
        if (!env.runUntil([&] { return dialogPage() && !dialogPage()->isLoading() && dialogPage()->url().find('?') != std::string::npos; }))
            return std::nullopt;
        std::string url = dialogPage()->url();
        return MorrowDialogs::queryDictionary(url.substr(url.find('?') + 1));
    }
    std::string shownTitle() const { return dialogWindow()->webViewController()->navigationItem().title(); }
    std::string text(const pf::Dictionary& d, const char* key) const
    {
        const pf::Value* v = d.find(key);
        return v && v->asString() ? *v->asString() : "<none>";
    }
    std::string lastAlertTitle() const
    {
        auto alerts = pf::AlertView::pendingAlerts();
        return alerts.empty() ? "" : alerts.back()->title();
    }
};

TEST_F(DialogTest, PagesAnswerOnTheAppSchemeAndTheDelegateHearsOnce)
{
    struct Case {
        std::string name;
        std::function<bool()> send;
        std::string iface;
        std::string title;
        std::string button;
        std::string heard;
        int retCode;
        int detail;
    };
    const std::vector<Case> cases {
        { "invitation", [&] { return session->sendAppInvitationWithDescription("  来玩 \n", "http://x/p.png", "src"); }, "AppInvitation",
            "应用邀请", "发送", "AppInvitation", 0, 0 },
        { "challenge", [&] { return session->sendChallenge("F1", "brag", "http://x/p.png", " hi ", "s"); }, "AppChallenge", "向TA炫耀",
            "取消", "AppChallenge", 1, 2 },
        { "gift", [&] { return session->sendGiftRequest("", "E", "S", true, "freegift", "礼物", "msg", "img", "s"); }, "AppGiftRequest",
            "赠送礼物", "失败", "AppGiftRequest", 1, 12 },
        { "story", [&] { return session->sendStory(pf::Dictionary { { "title", " 标题 " }, { "summary", "s" } }, pf::Array { "1", 2, "3" }); },
            "SendStory", "分享", "发送", "sendStoryResponse", 0, 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        recorder->answers.clear();
        ASSERT_TRUE(c.send());
        auto shown = shownParameters();
        ASSERT_TRUE(shown);
        EXPECT_EQ(text(*shown, "iface"), c.iface);
        EXPECT_EQ(text(*shown, "oauth_consumer_key"), kAppId);
        EXPECT_EQ(text(*shown, "access_token"), "TOKEN-1");
        EXPECT_EQ(shownTitle(), c.title);
        EXPECT_TRUE(dialogWindow()->navigationController()->isNavigationBarHidden());
        if (c.iface == "AppInvitation") {
            EXPECT_EQ(text(*shown, "desc"), "来玩");
            EXPECT_EQ(text(*shown, "encrytoken"), session->localEncrytedToken());
            // The pages' token is the login statistics' token of the credentials held now.
            EXPECT_EQ(session->localEncrytedToken(), MorrowOAuth::loginStatisToken("TOKEN-1", kAppId, session->openId()));
        }
        if (c.iface == "AppGiftRequest") {
            EXPECT_EQ(text(*shown, "only"), "1");
        }
        if (c.iface == "SendStory") {
            EXPECT_EQ(text(*shown, "receiver"), "1,3");
            EXPECT_EQ(text(*shown, "title"), "标题");
            EXPECT_EQ(text(*shown, "keytype"), "21");
        }
        env.fastForwardBy(0.5);
        ASSERT_TRUE(driver.pressPageButton(c.button));
        env.runUntilIdle();
        env.fastForwardBy(0.5);
        ASSERT_EQ(recorder->answers.size(), 1u);
        EXPECT_EQ(recorder->answers[0].first, c.heard);
        auto& response = *recorder->answers[0].second;
        EXPECT_EQ(response.retCode, c.retCode);
        EXPECT_EQ(response.detailRetCode, c.detail);
        if (c.button == "发送") {
            EXPECT_EQ(response.jsonResponse["count"].asString() ? *response.jsonResponse["count"].asString() : "", "2");
            EXPECT_EQ(response.jsonResponse["names"].asString() ? *response.jsonResponse["names"].asString() : "", "a,b");
        }
        EXPECT_FALSE(dialogWindow()->window());
        EXPECT_EQ(appWindow->frame().x(), 0);
    }

    // A later story without friends goes to no one.
    ASSERT_TRUE(session->sendStory(pf::Dictionary { { "title", "再来" } }, std::nullopt));
    auto shown = shownParameters();
    ASSERT_TRUE(shown);
    EXPECT_EQ(text(*shown, "receiver"), "");
    dialogWindow()->doCloseWithNotAnimation();

    // Answer queries: a piece with two "=" or none is left out.
    auto parsed = MorrowDialogs::queryDictionary(std::string("a=b=c&d&e=%E4%B8%80&f="));
    EXPECT_EQ(parsed, (pf::Dictionary { { "e", "一" }, { "f", "" } }));
}

TEST_F(DialogTest, LZoneVersionsRefusalsAndAMissingPage)
{
    auto lzone = peers::LZoneApp::install(3);
    ASSERT_TRUE(session->sendStory(pf::Dictionary { { "title", "T" } }, pf::Array { "1" }));
    env.runUntilIdle();
    auto got = lzone->received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_NE(got[0].url.find("/1?generalpastboard="), std::string::npos);
    EXPECT_FALSE(dialogWindow());
    // The other dialogs need version 4: the page opens.
    ASSERT_TRUE(session->sendAppInvitationWithDescription("d", "i", "s"));
    ASSERT_TRUE(shownParameters());
    dialogWindow()->doCloseWithNotAnimation();
    lzone->uninstall();

    struct Refusal {
        std::string name;
        std::function<bool()> send;
        std::string alert;
    };
    const std::vector<Refusal> refusals {
        { "challenge in capitals", [&] { return session->sendChallenge("F1", "PK", "", "m", "s"); }, "挑战炫耀" },
        { "challenge without receiver", [&] { return session->sendChallenge("", "pk", "", "m", "s"); }, "挑战炫耀" },
        { "gift of another type", [&] { return session->sendGiftRequest("", "", "", false, "gift", "", "", "", ""); }, "请求/赠送礼物" },
        { "story without title", [&] { return session->sendStory(pf::Dictionary { { "title", "  " } }, std::nullopt); }, "分享失败" },
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.name);
        pf::AlertView::resetAll();
        EXPECT_FALSE(r.send());
        EXPECT_EQ(lastAlertTitle(), r.alert);
        EXPECT_FALSE(dialogWindow() && dialogWindow()->window());
    }
    pf::AlertView::resetAll();

    // Signed out: nothing shows.
    session->logout(recorder);
    EXPECT_FALSE(session->sendAppInvitationWithDescription("d", "i", "s"));
    EXPECT_FALSE(session->sendStory(pf::Dictionary { { "title", "T" } }, std::nullopt));
    EXPECT_TRUE(pf::AlertView::pendingAlerts().empty());

    // Without the bundle's page the dialog answers false.
    session->setAccessToken(std::string("TOKEN-1"));
    session->setOpenId(std::string("OPENID-1"));
    session->setExpirationDate(env.now() + 3600);
    auto main = pf::Bundle::main();
    std::string empty = env.sandbox().tmpPath() + "/Empty.app";
    ASSERT_TRUE(pf::FileManager::createDirectory(empty, true));
    pf::Bundle::setMain(pf::Bundle::atPath(empty));
    EXPECT_FALSE(session->sendAppInvitationWithDescription("d", "i", "s"));
    pf::Bundle::setMain(main);
}

TEST_F(DialogTest, AScriptOpenedWindowLoadsOnlyWhatTheScriptsAllow)
{
    std::string allowed = MorrowHostConfig::shared().openApiBase() + "oauth2.0/browser_error";
    EXPECT_EQ(session->scriptHost()->evaluateJavascript("oauth.openNativeWebView(" + pf::Json::write(pf::Value(MorrowHostConfig::shared().webBase()))
                  + ", '脚本')"),
        "true");
    EXPECT_EQ(session->scriptHost()->evaluateJavascript("oauth.openNativeWebView('', 'x')"), "false");
    env.runUntilIdle();
    auto holder = session->dialogs()->mrJSUiKit();
    ASSERT_TRUE(holder && holder->webViewKit() && holder->webViewKit()->window());
    auto window = holder->webViewKit();
    auto view = [&] { return window->webViewController()->webview(); };
    ASSERT_TRUE(env.runUntil([&] { return view()->title() == "LM" && !view()->isLoading(); }));
    auto generation = view()->pageGeneration();
    for (const std::string& refused : { std::string(kReplyScheme) + "://AppInvitation/success", std::string("javascript:alert(1)") }) {
        view()->evaluate("location.href = " + pf::Json::write(pf::Value(refused)));
        env.runUntilIdle();
        env.waitForPendingWork();
        EXPECT_EQ(view()->pageGeneration(), generation) << refused;
    }
    EXPECT_TRUE(recorder->answers.empty());
    view()->evaluate("location.href = " + pf::Json::write(pf::Value(allowed)));
    ASSERT_TRUE(env.runUntil([&] { return view()->title() == "浏览器出错"; }));

    // A network error closes it; so does the scripts' close.
    view()->evaluate("location.href = " + pf::Json::write(pf::Value(MorrowHostConfig::shared().openApiBase() + "oauth2.0/m_broken")));
    ASSERT_TRUE(env.runUntil([&] {
        env.fastForwardBy(0.1);
        return !window->window();
    }));
    session->scriptHost()->evaluateJavascript("oauth.openNativeWebView(" + pf::Json::write(pf::Value(allowed)) + ", '')");
    env.runUntilIdle();
    ASSERT_TRUE(window->window());
    session->scriptHost()->evaluateJavascript("oauth.closeNativeWebView()");
    env.runUntilIdle();
    env.fastForwardBy(1);
    EXPECT_FALSE(window->window());
    EXPECT_EQ(appWindow->frame().x(), 0);
}

}
