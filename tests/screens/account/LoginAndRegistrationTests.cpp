#include "tests/screens/PortalScreenFixture.h"

#include "core/records/UserInfo.h"
#include "core/views/UserAccountPromptView.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/testing/TestHttpServer.h"
#include "platform/ui/TextField.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/UserDefaults.h"
#include "screens/account/UserLoggingViewController.h"
#include "screens/account/UserPersonalCenterViewController.h"
#include "screens/account/UserRegisterViewController.h"
#include "tests/support/FullDisk.h"

namespace {

class AccountScreenTest : public PortalScreenFixture {
protected:
    AccountScreenTest() { showRoot(); }

    std::shared_ptr<UserLoggingViewController> openLogin()
    {
        auto login = std::make_shared<UserLoggingViewController>();
        push(login);
        return login;
    }

    void logIn(const std::shared_ptr<UserLoggingViewController>& login, const std::string& name, const std::string& password)
    {
        ASSERT_TRUE(driver.typeText(login->userName(), name));
        ASSERT_TRUE(driver.typeText(login->password(), password));
        ASSERT_TRUE(driver.tapText("登录"));
        settle();
    }

    std::shared_ptr<UserRegisterViewController> openRegistration()
    {
        openLogin();
        EXPECT_TRUE(driver.tapText("注册新用户"));
        driver.advance(pf::NavigationController::TransitionDuration + 0.05);
        auto screen = std::dynamic_pointer_cast<UserRegisterViewController>(top());
        EXPECT_TRUE(screen);
        return screen;
    }

    void fill(const std::shared_ptr<UserRegisterViewController>& screen, const std::string& email, const std::string& nick,
        const std::string& password, const std::string& again)
    {
        ASSERT_TRUE(driver.typeText(screen->email(), email));
        ASSERT_TRUE(driver.typeText(screen->nickName(), nick));
        ASSERT_TRUE(driver.typeText(screen->password(), password));
        ASSERT_TRUE(driver.typeText(screen->verifiedPassword(), again));
    }

    std::vector<std::string> panelLines(const std::shared_ptr<UserAccountPromptView>& panel) const
    {
        std::vector<std::string> lines;
        if (!panel)
            return lines;
        for (const auto& view : panel->subviews()) {
            if (auto label = std::dynamic_pointer_cast<pf::RichTextLabel>(view))
                lines.push_back(label->plainText());
        }
        return lines;
    }
};

}

TEST_F(AccountScreenTest, ALoginRecordsTheTokenAnnouncesItAndLeavesAfterThreeSecondsAndAHalf)
{
    auto login = openLogin();
    EXPECT_EQ(login->title(), "帐号登录");

    // Return only puts the keyboard away.
    ASSERT_TRUE(driver.typeText(login->userName(), "demo"));
    ASSERT_TRUE(driver.pressReturn(login->userName()));
    settle();
    EXPECT_EQ(countOf("user/credentials"), 0u);
    EXPECT_FALSE(login->userName()->isEditing());

    ASSERT_TRUE(driver.typeText(login->password(), "demo123"));
    ASSERT_TRUE(driver.tapText("登录"));
    settle();

    auto forms = formsOf("user/credentials");
    ASSERT_EQ(forms.size(), 1u);
    EXPECT_EQ(forms[0]["username"], "demo");
    EXPECT_EQ(forms[0]["grant_type"], "password");
    EXPECT_EQ(countOf("user/logout"), 0u) << "no earlier token to log out";
    auto token = LoginManager::sharedInstance()->getUserToken();
    ASSERT_TRUE(token);
    EXPECT_EQ(token->size(), 32u);
    ASSERT_EQ(countPosted("UserLogin"), 1u);
    EXPECT_EQ(posted.back().object["body"]["usertoken"].stringValue(), *token);
    ASSERT_TRUE(LoginManager::sharedInstance()->userInformation());
    EXPECT_EQ(LoginManager::sharedInstance()->userInformation()->nickname().text(), "萌新玩家");

    // The first login of the day earns coins: the panel's third line says how many.
    EXPECT_EQ(panelLines(login->userAccountPromptView()),
        (std::vector<std::string> { "欢迎回来.", "demo", "恭喜您获得了5金币." }));
    EXPECT_TRUE(driver.isVisible(*login->userAccountPromptView()));

    driver.advance(3.05);
    EXPECT_EQ(top(), login);
    driver.advance(0.1);
    driver.advance(pf::NavigationController::TransitionDuration);
    EXPECT_EQ(top(), root);
    EXPECT_FALSE(login->userAccountPromptView()->superview()) << "the panel has faded and gone";

    // The same day's second login earns nothing: two lines.
    auto again = openLogin();
    logIn(again, "demo", "demo123");
    EXPECT_EQ(panelLines(again->userAccountPromptView()).size(), 2u);
}

TEST_F(AccountScreenTest, AnEarlierTokenIsLoggedOutWithItsOwnHeaderBeforeTheNewOneIsKept)
{
    std::string old = storeTokenOf("gamer", "gamer123");
    auto login = openLogin();
    logIn(login, "demo", "demo123");

    auto logouts = portal.receivedRequests();
    std::optional<portal::ReceivedRequest> logout;
    for (auto& r : logouts) {
        if (r.path == "/api/user/logout")
            logout = r;
    }
    ASSERT_TRUE(logout) << "the earlier token is logged out";
    EXPECT_EQ(logout->header("Authorization"), "OAuth usertoken=\"" + old + "\"");
    auto token = LoginManager::sharedInstance()->getUserToken();
    ASSERT_TRUE(token);
    EXPECT_NE(*token, old);
    EXPECT_EQ(countPosted("UserLogin"), 1u);
}

TEST_F(AccountScreenTest, TheScreenLeavesWhetherOrNotTheLogoutAnswersAndTheSameTokenIsNotLoggedOut)
{
    pf::TestHttpServer fake;
    useApi(fake.url("/api/"));
    fake.reply("POST", "/api/user/credentials", 200, R"({"ret":0,"msg":"登录成功","body":{"usertoken":"tok-new","nickName":"n"}})",
        "application/json");
    fake.on("POST", "/api/user/logout", [](const pf::TestHttpServer::Request&) {
        pf::TestHttpServer::Response held;
        held.hold = true;
        return held;
    });

    LoginManager::sharedInstance()->recordUserToken("tok-old");
    auto login = openLogin();
    ASSERT_TRUE(driver.typeText(login->userName(), "someone"));
    ASSERT_TRUE(driver.typeText(login->password(), "pw"));
    ASSERT_TRUE(driver.tapText("登录"));
    // Waits for the login's answer and for the old token's logout to reach the server, not for
    // all work to end: the logout is held unanswered on purpose.
    auto logouts = [&] {
        size_t n = 0;
        for (auto& r : fake.requests())
            n += r.path == "/api/user/logout";
        return n;
    };
    ASSERT_TRUE(env.runUntil([&] { return LoginManager::sharedInstance()->getUserToken() == "tok-new" && logouts() > 0; }));
    driver.advance(3.2);
    driver.advance(pf::NavigationController::TransitionDuration);
    EXPECT_EQ(top(), root) << "left although the logout never answered";
    EXPECT_EQ(logouts(), 1u);
    fake.releaseHeld();
    settle();

    // The portal handing out the same token again: logging it out would end the new session.
    fake.clearRequests();
    auto second = openLogin();
    logIn(second, "someone", "pw");
    for (auto& r : fake.requests())
        EXPECT_NE(r.path, "/api/user/logout");
    EXPECT_EQ(LoginManager::sharedInstance()->getUserToken(), "tok-new");
}

TEST_F(AccountScreenTest, AFailedLoginShowsWhyAndChangesNothing)
{
    LoginManager::sharedInstance()->recordUserToken("kept");
    auto login = openLogin();
    logIn(login, "demo", "wrong");
    EXPECT_TRUE(driver.findByText("用户名或密码错误"));
    EXPECT_EQ(LoginManager::sharedInstance()->getUserToken(), "kept");
    EXPECT_EQ(countPosted("UserLogin"), 0u);
    EXPECT_EQ(countOf("user/logout"), 0u);
    driver.advance(5);
    EXPECT_EQ(top(), login);

    pf::TestHttpServer fake;
    useApi(fake.url("/api/"));
    // A token holding a NUL could be neither kept nor sent: no login either.
    for (const std::string& reply : { std::string("<html>oops</html>"), std::string(R"({"body":{"usertoken":"x"}})"),
             std::string(R"({"ret":0,"body":{"usertoken":""}})"), std::string(R"({"ret":0,"body":"x"})"),
             std::string(R"({"ret":0,"body":{"usertoken":"a\u0000b"}})") }) {
        SCOPED_TRACE(reply);
        fake.reply("POST", "/api/user/credentials", 200, reply, "application/json");
        ASSERT_TRUE(driver.tapText("登录"));
        settle();
        EXPECT_TRUE(driver.findByText("登录失败，请稍后再试"));
        EXPECT_EQ(LoginManager::sharedInstance()->getUserToken(), "kept");
        EXPECT_EQ(countPosted("UserLogin"), 0u);
        driver.advance(3.5);
        EXPECT_EQ(top(), login);
    }
}

TEST_F(AccountScreenTest, ARegistrationKeepsTheTokenAtOnceReturnsAtThreeAndAnnouncesAtThreePointOne)
{
    std::string old = storeTokenOf("gamer", "gamer123");
    auto screen = openRegistration();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->title(), "用户注册");
    fill(screen, "xin+tag@example.cn", "新来的", "secret1", "secret1");
    ASSERT_TRUE(driver.tapText("注册"));
    settle();

    auto forms = formsOf("user/reg");
    ASSERT_EQ(forms.size(), 1u);
    EXPECT_EQ(countOf("user/logout"), 0u) << "no logout on this path";
    auto token = LoginManager::sharedInstance()->getUserToken();
    ASSERT_TRUE(token);
    EXPECT_NE(*token, old) << "kept at once";
    EXPECT_EQ(panelLines(screen->userAccountPromptView()),
        (std::vector<std::string> { "感谢您注册Ostvik论坛", "现在将以初级菜鸟的身份登录" }));
    EXPECT_EQ(screen->userAccountPromptView()->superview(), screen->view());
    EXPECT_EQ(countPosted("UserLogin"), 0u);

    driver.advance(2.95);
    EXPECT_EQ(top(), screen);
    driver.advance(0.1);
    EXPECT_EQ(countPosted("UserLogin"), 0u) << "back first, the news a moment later";
    EXPECT_EQ(navigation->viewControllers().size(), 1u) << "the login screen goes too";
    driver.advance(0.1);
    ASSERT_EQ(countPosted("UserLogin"), 1u);
    EXPECT_EQ(posted.back().object["body"]["usertoken"].stringValue(), *token);
    ASSERT_TRUE(LoginManager::sharedInstance()->userInformation());
    EXPECT_EQ(LoginManager::sharedInstance()->userInformation()->nickname().text(), "新来的");
}

TEST_F(AccountScreenTest, AFailedRegistrationShowsThePortalsMessageAsWritten)
{
    LoginManager::sharedInstance()->recordUserToken("kept");
    auto screen = openRegistration();
    ASSERT_TRUE(screen);
    fill(screen, "xin@example.cn", "新来的", "secret1", "secret2");
    ASSERT_TRUE(driver.tapText("注册"));
    settle();
    EXPECT_EQ(panelLines(screen->userAccountPromptView()), std::vector<std::string> { "两次输入的密码不一致" });
    EXPECT_EQ(LoginManager::sharedInstance()->getUserToken(), "kept");

    pf::TestHttpServer fake;
    useApi(fake.url("/api/"));
    fake.reply("POST", "/api/user/reg", 200, R"({"ret":1,"msg":"<font color='#FF0000'>昵称</font>已被使用"})", "application/json");
    ASSERT_TRUE(driver.tapText("注册"));
    settle();
    EXPECT_EQ(panelLines(screen->userAccountPromptView()), std::vector<std::string> { "<font color='#FF0000'>昵称</font>已被使用" });

    for (const char* reply : { R"({"ret":0,"body":{"nickname":"x"}})", R"({"ret":0,"body":{"usertoken":"a\u0000b"}})" }) {
        SCOPED_TRACE(reply);
        fake.reply("POST", "/api/user/reg", 200, reply, "application/json");
        ASSERT_TRUE(driver.tapText("注册"));
        settle();
        EXPECT_EQ(panelLines(screen->userAccountPromptView()), std::vector<std::string> { "注册失败，请稍后再试" });
        driver.advance(4);
        EXPECT_EQ(top(), screen);
        EXPECT_EQ(LoginManager::sharedInstance()->getUserToken(), "kept");
    }
    EXPECT_EQ(countPosted("UserLogin"), 0u);
}

// On a full disk a login whose token cannot be kept fails as a refused one does: no welcome, no
// "UserLogin", the earlier login stays on the device and on the portal. A logout there leaves
// the device logged out at once, and the token leaves the file once there is room: the next
// launch finds none.
TEST_F(AccountScreenTest, OnAFullDiskALoginFailsAsARefusedOneAndALogoutLeavesNoTokenOnceThereIsRoom)
{
    const std::string old = storeTokenOf("gamer", "gamer123");
    const std::string settings = pf::UserDefaults::standard()->path();
    {
        testsupport::FullDisk full(pf::Sandbox::current()->preferencesPath());
        auto login = openLogin();
        logIn(login, "demo", "demo123");
        EXPECT_TRUE(driver.findByText("登录失败，请稍后再试"));
        EXPECT_FALSE(driver.findByText("欢迎回来."));
        EXPECT_EQ(LoginManager::sharedInstance()->getUserToken(), old);
        EXPECT_EQ(countPosted("UserLogin"), 0u);
        EXPECT_EQ(countOf("user/logout"), 0u) << "the earlier login is not ended on the portal";
        driver.advance(5);
        EXPECT_EQ(top(), login);
        navigation->popViewController(false);

        auto centre = std::make_shared<UserPersonalCenterViewController>();
        push(centre);
        settle();
        ASSERT_TRUE(driver.tapText("退出"));
        settle();
        EXPECT_FALSE(LoginManager::sharedInstance()->getUserToken());
        pf::UserDefaults::resetStandard();
        EXPECT_FALSE(LoginManager::sharedInstance()->getUserToken()) << "a launch with the disk still full";
    }
    pf::UserDefaults::resetStandard();
    EXPECT_FALSE(LoginManager::sharedInstance()->getUserToken());
    const auto stored = pf::FileManager::readText(settings);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->find(old), std::string::npos) << "no token on disk";
}
