#include "tests/screens/PortalScreenFixture.h"

#include "core/records/UserInfo.h"
#include "core/views/UserAccountPromptView.h"
#include "platform/foundation/RunLoop.h"
#include "platform/graphics/Image.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/testing/TestHttpServer.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/TableView.h"
#include "screens/account/UserLoggingViewController.h"
#include "screens/account/UserPersonalCenterViewController.h"
#include "screens/menu/EntranceLoginTypeTableViewCell.h"
#include "screens/menu/LeftEntranceViewController.h"
#include "screens/menu/RootViewController.h"
#include "screens/mygifts/MyGiftsViewController.h"

namespace {

std::string plain(const std::string& markup)
{
    pf::RichTextLabel label;
    label.setText(markup);
    return label.plainText();
}

class RootAndSideMenuTest : public PortalScreenFixture {
protected:
    RootAndSideMenuTest()
    {
        for (const char* name : { "AutoLoginUserInfo", "UserLogout" }) {
            pf::NotificationCenter::defaultCenter().addObserver(m_owner, name,
                [this](const pf::Notification& n) { posted.push_back({ n.name, n.object }); });
        }
    }
    ~RootAndSideMenuTest() override
    {
        LeftEntranceViewController::setWebPageFactory({});
    }

    // The app's root over a plain first screen.
    void showApp()
    {
        root = std::make_shared<AdaptedViewController>();
        root->setTitle("首页");
        navigation = std::make_shared<pf::NavigationController>(root);
        app = std::make_shared<RootViewController>(navigation);
        window = std::make_shared<pf::Window>(pf::Rect { 0, 0, 320, 480 });
        window->setRootViewController(app);
        window->makeKeyAndVisible();
        settle();
    }

    std::shared_ptr<LeftEntranceViewController> menu() const
    {
        return std::dynamic_pointer_cast<LeftEntranceViewController>(app->leftViewController());
    }
    void openMenu()
    {
        app->showLeftController(true);
        driver.advance(DDMenuController::kSlideDuration);
        settle();
    }
    std::shared_ptr<EntranceLoginTypeTableViewCell> accountRow() const
    {
        return std::dynamic_pointer_cast<EntranceLoginTypeTableViewCell>(menu()->tableView()->cellForRowAtIndexPath({ 0, 0 }));
    }
    void tapMenuRow(int section, int row)
    {
        ASSERT_TRUE(driver.tapRow(menu()->tableView(), { section, row }));
        driver.advance(pf::NavigationController::TransitionDuration + 0.05);
        settle();
    }
    std::vector<std::shared_ptr<UserAccountPromptView>> panelsOnWindow() const
    {
        std::vector<std::shared_ptr<UserAccountPromptView>> panels;
        for (const auto& view : window->subviews()) {
            if (auto panel = std::dynamic_pointer_cast<UserAccountPromptView>(view))
                panels.push_back(panel);
        }
        return panels;
    }

    std::shared_ptr<RootViewController> app;

private:
    std::shared_ptr<int> m_owner { std::make_shared<int>(0) };
};

TEST_F(RootAndSideMenuTest, AStoredTokenLogsInAtStartAndTheUserIsGreeted)
{
    storeTokenOf("demo", "demo123");
    showApp();

    EXPECT_EQ(countPosted("AutoLoginUserInfo"), 1u);
    EXPECT_EQ(countOf("user/info"), 1u);
    EXPECT_EQ(countOf("game/verup"), 1u) << "the silent version check";
    ASSERT_TRUE(app->userInfo());
    auto panels = panelsOnWindow();
    ASSERT_EQ(panels.size(), 1u);
    EXPECT_EQ(panels[0]->frame(), (pf::Rect { 40, 160, 240, 160 })) << "centred on the key window";
    std::vector<std::string> lines;
    for (const auto& view : panels[0]->subviews())
        lines.push_back(std::dynamic_pointer_cast<pf::RichTextLabel>(view)->plainText());
    EXPECT_EQ(lines, (std::vector<std::string> { "欢迎回来.", "demo" })) << "today's reward went to the login";

    // The side menu is installed: its button is on the first screen, its view not loaded yet.
    EXPECT_TRUE(menu());
    EXPECT_TRUE(root->navigationItem().leftBarButtonItem());
    EXPECT_FALSE(menu()->isViewLoaded());

    driver.advance(RootViewController::kPromptFadeDuration - 0.1);
    EXPECT_EQ(panelsOnWindow().size(), 1u);
    driver.advance(0.2);
    EXPECT_TRUE(panelsOnWindow().empty()) << "faded out and gone";
}

TEST_F(RootAndSideMenuTest, WithoutATokenThereIsNoGreetingButTheVersionCheckRuns)
{
    showApp();
    EXPECT_EQ(countPosted("AutoLoginUserInfo"), 0u);
    EXPECT_EQ(countPosted("UserNotLogin"), 1u);
    EXPECT_EQ(countOf("user/info"), 0u);
    EXPECT_EQ(countOf("game/verup"), 1u);
    EXPECT_TRUE(panelsOnWindow().empty());
}

TEST_F(RootAndSideMenuTest, TheGreetingShowsTheNameAsWrittenAndTheRewardOfTheLogin)
{
    struct Case {
        RecordText name;
        bool reward;
        int ext1, ext2;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases {
        { RecordText("<font color='red'>阿明</font>"), false, 0, 0, { "欢迎回来.", "<font color='red'>阿明</font>" } },
        { RecordText(), false, 0, 0, { "欢迎回来.", "" } },
        { RecordText("a"), true, 0, 5, { "欢迎回来.", "a", "恭喜您获得了5金币." } },
        { RecordText("a"), true, 3, 9, { "欢迎回来.", "a", "恭喜您获得了3金币." } },
        { RecordText("a"), true, 0, 0, { "欢迎回来.", "a", "恭喜您获得了0金币." } },
    };
    for (const auto& c : cases) {
        UserInfo user;
        user.setUserName(c.name);
        user.setUpdatecredit(c.reward);
        user.setExt1(c.ext1);
        user.setExt2(c.ext2);
        std::vector<std::string> lines;
        for (const auto& markup : RootViewController::greetingLines(user))
            lines.push_back(plain(markup));
        EXPECT_EQ(lines, c.lines) << c.name.formatted();
    }
}

TEST_F(RootAndSideMenuTest, TheAccountRowFollowsTheLoginAndOpensTheRightScreen)
{
    showApp();
    openMenu();
    auto row = accountRow();
    ASSERT_TRUE(row);
    EXPECT_EQ(row->title()->text(), "点击登录");
    EXPECT_TRUE(row->icon()->image());

    tapMenuRow(0, 0);
    EXPECT_TRUE(std::dynamic_pointer_cast<UserLoggingViewController>(top()));
    EXPECT_EQ(navigation->view()->frame().x(), 0) << "the menu closed before the push";
    EXPECT_FALSE(app->isShowSideView());
    navigation->popToRootViewController(false);

    // Logged in, the menu reads the user on its next "UserLogin".
    storeTokenOf("gamer", "gamer123");
    LoginManager::sharedInstance()->requestUserInfo();
    settle();
    openMenu();
    row = accountRow();
    EXPECT_EQ(row->title()->text(), "礼包达人");
    EXPECT_TRUE(env.runUntil([&] { return accountRow()->icon()->image() != nullptr; })) << "the avatar arrives";
    tapMenuRow(0, 0);
    EXPECT_TRUE(std::dynamic_pointer_cast<UserPersonalCenterViewController>(top()));
    navigation->popToRootViewController(false);

    pf::NotificationCenter::defaultCenter().post("UserLogout");
    openMenu();
    EXPECT_EQ(accountRow()->title()->text(), "点击登录");
}

TEST_F(RootAndSideMenuTest, TheUsersInformationAnsweredAfterTheLogoutBringsNobodyBack)
{
    storeTokenOf("demo", "demo123");
    showApp();
    driver.advance(RootViewController::kPromptFadeDuration + 0.1);
    ASSERT_TRUE(driver.tapText("以后再说"));
    openMenu();
    ASSERT_EQ(accountRow()->title()->text(), "萌新玩家");

    // The personal centre asks for the user as it appears; the portal answers only after the logout.
    portal.holdOperation("user/info");
    portal.holdOperation("user/logout");
    size_t asked = countOf("user/info");
    ASSERT_TRUE(driver.tapRow(menu()->tableView(), { 0, 0 }));
    driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    ASSERT_TRUE(std::dynamic_pointer_cast<UserPersonalCenterViewController>(top()));
    ASSERT_TRUE(env.runUntil([&] { return countOf("user/info") == asked + 1; }));
    ASSERT_TRUE(driver.tapText("退出"));
    driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    ASSERT_TRUE(env.runUntil([&] { return countOf("user/logout") == 1; }));
    size_t logins = countPosted("UserLogin");

    portal.releaseHeld("user/info");
    ASSERT_TRUE(env.runUntil([] { return !LoginManager::sharedInstance()->networkRequestor(); }));
    portal.releaseHeld();
    settle();
    EXPECT_EQ(countPosted("UserLogin"), logins);
    EXPECT_FALSE(LoginManager::sharedInstance()->getUserToken());
    openMenu();
    EXPECT_EQ(accountRow()->title()->text(), "点击登录");
    tapMenuRow(0, 0);
    EXPECT_TRUE(std::dynamic_pointer_cast<UserLoggingViewController>(top())) << "the row opens the login, not an empty centre";
}

TEST_F(RootAndSideMenuTest, AnAvatarThatNeverComesOrIsNoWebAddressHoldsNothingUp)
{
    pf::TestHttpServer slow;
    slow.on("GET", "/avatar.png", [](const pf::TestHttpServer::Request&) {
        pf::TestHttpServer::Response r;
        r.hold = true;
        return r;
    });
    showApp();
    openMenu();
    for (const std::string& address : { slow.url("/avatar.png"), std::string("file:///etc/passwd"), std::string() }) {
        // The login reply's body is the user record the menu shows.
        pf::Value reply = pf::Dictionary { { "ret", pf::Value(int64_t(0)) },
            { "body", pf::Dictionary { { "nickname", pf::Value(std::string("阿明")) }, { "avatar", pf::Value(address) } } } };
        double before = pf::RunLoop::main().now();
        pf::NotificationCenter::defaultCenter().post("UserLogin", reply);
        driver.settle();
        EXPECT_EQ(pf::RunLoop::main().now(), before);
        EXPECT_EQ(accountRow()->title()->text(), "阿明") << address;
        EXPECT_FALSE(accountRow()->icon()->image()) << address;
    }
    slow.releaseHeld();
}

TEST_F(RootAndSideMenuTest, TheEntriesCheckForUpdatesShowTheAboutBoxAndOpenTheirScreens)
{
    showApp();
    openMenu();
    portal.clearReceivedRequests();

    // "检查更新" and "关于" leave the menu open.
    tapMenuRow(1, 1);
    settle();
    EXPECT_EQ(countOf("game/verup"), 1u);
    EXPECT_TRUE(driver.findByText("发现新版本 V1.2.0"));
    EXPECT_TRUE(driver.tapText("以后再说"));
    tapMenuRow(1, 2);
    auto box = driver.findByText("OstvikPellomar V1.0");
    ASSERT_TRUE(box);
    EXPECT_EQ(box->superview()->frame(), (pf::Rect { 40, 178, 240, 124 })) << "centred on the key window";
    EXPECT_EQ(box->superview()->superview(), window);
    EXPECT_TRUE(app->isShowSideView());
    EXPECT_EQ(navigation->view()->frame().x(), 200);
    driver.advance(LeftEntranceViewController::kAboutFadeDuration);
    EXPECT_FALSE(driver.findByText("OstvikPellomar V1.0"));

    // "我的礼包" closes the menu and pushes the my-gifts screen, whoever composed the app.
    tapMenuRow(1, 0);
    auto gifts = std::dynamic_pointer_cast<MyGiftsViewController>(top());
    ASSERT_TRUE(gifts);
    EXPECT_TRUE(driver.findByText("已领取"));
    EXPECT_EQ(gifts->view()->backgroundColor(), pf::Color::gray());
    EXPECT_FALSE(app->isShowSideView());
    navigation->popToRootViewController(false);

    // "反馈" opens the web page of the feedback operation.
    std::string opened;
    auto page = std::make_shared<AdaptedViewController>();
    LeftEntranceViewController::setWebPageFactory([&](const std::string& address) {
        opened = address;
        return page;
    });
    openMenu();
    tapMenuRow(1, 3);
    EXPECT_EQ(opened, portal.apiBaseURL() + "user/refer");
    EXPECT_EQ(top(), page);
    EXPECT_FALSE(app->isShowSideView());
}

}
