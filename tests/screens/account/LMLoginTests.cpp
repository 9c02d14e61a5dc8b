#include "tests/screens/PortalScreenFixture.h"

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Url.h"
#include "platform/testing/TestHttpServer.h"
#include "platform/web/WebView.h"
#include "screens/account/LMLoginWebViewController.h"
#include "screens/account/UserPersonalCenterViewController.h"
#include "screens/account/UserLoggingViewController.h"

namespace {

class LMLoginTest : public PortalScreenFixture {
protected:
    LMLoginTest()
    {
        PortalTestClient::pointEverythingAt(portal);
        showRoot();
        push(std::make_shared<UserLoggingViewController>());
        lm = std::make_shared<LMLoginWebViewController>();
        push(lm);
        forumPage = LMLoginWebViewController::pageAddress();
    }

    static pf::Value answer(const std::string& webauth, const std::string& saltkey)
    {
        pf::Value a;
        a.set("webauth", webauth);
        a.set("saltkey", saltkey);
        return a;
    }
    // The value of a field as the portal decodes it.
    static std::string decoded(const std::string& raw) { return pf::Url::unescape(raw).value_or("(bad escape)"); }

    std::shared_ptr<LMLoginWebViewController> lm;
    std::string forumPage;
};

TEST_F(LMLoginTest, TheFirstAnswerLogsInAndTheOldTokenIsLoggedOutOnlyThen)
{
    std::string old = storeTokenOf("gamer", "gamer123");
    // Forum credentials are full of characters a form body would otherwise mangle.
    lm->lmLoginAnswered(answer("a+b/c=d%25e&f", "s k+1"), forumPage);
    lm->lmLoginAnswered(answer("second", "answer"), forumPage);
    EXPECT_TRUE(lm->isLMLoginRequested());
    settle();

    auto forms = formsOf("user/weblm");
    ASSERT_EQ(forms.size(), 1u) << "only the first answer is sent";
    EXPECT_EQ(decoded(forms[0]["webauth"]), "a+b/c=d%25e&f");
    EXPECT_EQ(decoded(forms[0]["saltkey"]), "s k+1");

    auto logouts = portal.receivedRequests();
    std::erase_if(logouts, [](const auto& r) { return r.path != "/api/user/logout"; });
    ASSERT_EQ(logouts.size(), 1u);
    EXPECT_EQ(logouts[0].header("Authorization"), "OAuth usertoken=\"" + old + "\"");
    auto token = LoginManager::sharedInstance()->getUserToken();
    ASSERT_TRUE(token);
    EXPECT_NE(*token, old);

    // The login screens leave at once; the announcement follows a second later.
    driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    EXPECT_EQ(top(), root);
    EXPECT_EQ(countPosted("UserLogin"), 0u);
    driver.advance(LMLoginWebViewController::kLoginNotificationDelay - pf::NavigationController::TransitionDuration);
    ASSERT_EQ(countPosted("UserLogin"), 1u);
    EXPECT_EQ(posted.back().object["body"]["usertoken"].stringValue(), *token);
}

TEST_F(LMLoginTest, ALogoutBeforeTheAnnouncementKeepsTheUserLoggedOut)
{
    // Switching accounts from the personal centre: the LM login returns to it at once.
    storeTokenOf("gamer", "gamer123");
    navigation->setViewControllers({ root }, false);
    auto centre = std::make_shared<UserPersonalCenterViewController>();
    push(centre);
    settle();
    ASSERT_TRUE(driver.tapText("切换帐号"));
    driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    ASSERT_TRUE(driver.tapText("LM帐号登录"));
    driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    auto screen = std::dynamic_pointer_cast<LMLoginWebViewController>(top());
    ASSERT_TRUE(screen);
    auto [webauth, saltkey] = portal.service().forumCredentials("demo");
    screen->lmLoginAnswered(answer(webauth, saltkey), forumPage);
    settle();
    driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    ASSERT_EQ(top(), centre);
    settle();

    // The user logs out before the login is announced: the announcement is dropped.
    ASSERT_TRUE(driver.tapText("退出"));
    size_t logins = countPosted("UserLogin");
    driver.advance(LMLoginWebViewController::kLoginNotificationDelay);
    settle();
    EXPECT_EQ(countPosted("UserLogin"), logins);
    EXPECT_FALSE(LoginManager::sharedInstance()->getUserToken());
}

TEST_F(LMLoginTest, AFailedExchangeShowsWhyAndKeepsTheStoredToken)
{
    std::string old = storeTokenOf("gamer", "gamer123");
    // The portal refuses credentials that are missing.
    lm->lmLoginAnswered(pf::Value(pf::Dictionary {}), forumPage);
    settle();
    EXPECT_EQ(countOf("user/weblm"), 1u);
    EXPECT_TRUE(driver.findByText("论坛授权信息无效"));
    EXPECT_EQ(countOf("user/logout"), 0u);
    EXPECT_EQ(LoginManager::sharedInstance()->getUserToken(), old);
    driver.advance(2);
    EXPECT_EQ(top(), lm);
    EXPECT_EQ(countPosted("UserLogin"), 0u);
}

TEST_F(LMLoginTest, RepliesThatAreNoSuccessAreFailures)
{
    pf::TestHttpServer server;
    useApi(server.url("/api/"));
    // A token holding a NUL could be neither kept nor sent.
    for (const char* reply : { "<html>busy</html>", R"({"msg":"no ret"})", R"({"ret":0,"body":{}})", R"([0])",
             R"({"ret":0,"body":{"usertoken":"a\u0000b"}})" }) {
        SCOPED_TRACE(reply);
        server.reply("POST", "/api/user/weblm", 200, reply, "application/json");
        LoginManager::sharedInstance()->recordUserToken("kept");
        auto screen = std::make_shared<LMLoginWebViewController>();
        push(screen);
        screen->lmLoginAnswered(answer("w", "s"), forumPage);
        settle();
        EXPECT_EQ(LoginManager::sharedInstance()->getUserToken(), "kept");
        EXPECT_EQ(top(), screen);
        EXPECT_TRUE(driver.findByText(LMLoginWebViewController::kLoginFailed) || driver.findByText("no ret"));
        driver.advance(4);
    }
    EXPECT_EQ(countPosted("UserLogin"), 0u);
    for (const auto& r : server.requests())
        EXPECT_NE(r.path, "/api/user/logout");
}

TEST_F(LMLoginTest, OnlyAnAnswerFromTheForumsOwnHostCounts)
{
    for (const std::string& elsewhere : { std::string("http://evil.example/connect.php"), std::string("file:///connect.php"),
             std::string("not an address"), std::string() }) {
        lm->lmLoginAnswered(answer("w", "s"), elsewhere);
        EXPECT_FALSE(lm->isLMLoginRequested()) << elsewhere;
    }
    lm->lmLoginAnswered(pf::Value("not an object"), forumPage);
    EXPECT_FALSE(lm->isLMLoginRequested());
    settle();
    EXPECT_EQ(countOf("user/weblm"), 0u);

    lm->lmLoginAnswered(answer("w", "s"), portal.rootURL() + "connect.php?mod=login&op=auth");
    EXPECT_TRUE(lm->isLMLoginRequested());
}

}

namespace {

TEST_F(LMLoginTest, TheForumPageAnswersThroughThePageBridgeOnce)
{
    // From the login screen, as a person goes.
    navigation->popViewController(false);
    settle();
    ASSERT_TRUE(driver.tapText("LM帐号登录"));
    driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    auto screen = std::dynamic_pointer_cast<LMLoginWebViewController>(top());
    ASSERT_TRUE(screen);
    ASSERT_TRUE(env.runUntil([&] { return screen->webView()->title() == "LM帐号登录"; }));
    settle();
    EXPECT_FALSE(screen->isLMLoginRequested()) << "the sign-in form has nothing to answer with";

    ASSERT_TRUE(driver.fillPageField("username", "demo"));
    ASSERT_TRUE(driver.fillPageField("password", "demo123"));
    ASSERT_TRUE(driver.pressPageButton("登录"));
    ASSERT_TRUE(env.runUntil([&] { return screen->isLMLoginRequested(); }));
    settle();
    auto forms = formsOf("user/weblm");
    ASSERT_EQ(forms.size(), 1u);
    auto [webauth, saltkey] = portal.service().forumCredentials("demo");
    EXPECT_EQ(decoded(forms[0]["webauth"]), webauth);
    EXPECT_EQ(decoded(forms[0]["saltkey"]), saltkey);

    driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    EXPECT_EQ(top(), root);
    EXPECT_EQ(countPosted("UserLogin"), 0u);
    driver.advance(LMLoginWebViewController::kLoginNotificationDelay);
    ASSERT_EQ(countPosted("UserLogin"), 1u);
    EXPECT_EQ(posted.back().object["body"]["nickName"].stringValue(), "萌新玩家");
    EXPECT_EQ(LoginManager::sharedInstance()->getUserToken(), posted.back().object["body"]["usertoken"].stringValue());

    // Later navigations of the page still ask it, but nothing more is sent.
    screen->webView()->evaluate("location.href = '" + portal.rootURL() + "connect.php?mod=login&op=init'");
    settle();
    EXPECT_EQ(countOf("user/weblm"), 1u);
}

}
