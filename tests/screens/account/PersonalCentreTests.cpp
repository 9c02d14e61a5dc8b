#include "tests/screens/PortalScreenFixture.h"

#include "platform/kit/RichTextLabel.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "screens/account/UserLoggingViewController.h"
#include "screens/account/UserPersonalCenterViewController.h"

namespace {

class PersonalCentreTest : public PortalScreenFixture {
protected:
    PersonalCentreTest()
    {
        showRoot();
        pf::NotificationCenter::defaultCenter().addObserver(m_owner, "UserLogout", [this](const pf::Notification&) {
            tokenAtLogout = LoginManager::sharedInstance()->getUserToken();
            ++logouts;
        });
    }

    std::shared_ptr<UserPersonalCenterViewController> openCentre()
    {
        auto centre = std::make_shared<UserPersonalCenterViewController>();
        push(centre);
        settle();
        return centre;
    }

    std::optional<std::string> tokenAtLogout;
    int logouts { 0 };

private:
    std::shared_ptr<int> m_owner { std::make_shared<int>(0) };
};

TEST_F(PersonalCentreTest, ShowsTheUsersCoinsAndPointsAndAsksAgainAtEveryAppearance)
{
    storeTokenOf("demo", "demo123");
    auto centre = openCentre();
    EXPECT_EQ(centre->title(), "帐号");
    EXPECT_EQ(centre->nickName()->text(), "萌新玩家");
    // The day's first sign-in (the login) added its reward.
    EXPECT_EQ(centre->goldCoid()->plainText(), "我的金币  505金币");
    EXPECT_EQ(centre->lovelyPoint()->plainText(), "我的萌点  302萌点");
    EXPECT_NE(UserPersonalCenterViewController::goldCoinMarkup(120).find("<font size=15 color='#FF7200'>120</font>"), std::string::npos);
    EXPECT_TRUE(env.runUntil([&] { return centre->userIcon()->image() != nullptr; })) << "the avatar, through the image cache";
    EXPECT_EQ(countOf("user/info"), 1u);

    // Shown again (back from a screen above it): asked again, nothing added twice.
    size_t views = centre->view()->subviews().size();
    EXPECT_TRUE(driver.tapText("切换帐号"));
    driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    EXPECT_TRUE(std::dynamic_pointer_cast<UserLoggingViewController>(top()));
    EXPECT_TRUE(LoginManager::sharedInstance()->getUserToken()) << "switching keeps the token until a new login";
    navigation->popViewController(false);
    settle();
    EXPECT_EQ(countOf("user/info"), 2u);
    EXPECT_EQ(centre->view()->subviews().size(), views);
}

TEST_F(PersonalCentreTest, LogoutForgetsTheUserOnTheDeviceWhateverThePortalAnswers)
{
    struct Case {
        const char* what;
        bool validToken;
        bool portalUp;
    };
    for (const Case& c : { Case { "accepted", true, true }, Case { "refused", false, true }, Case { "no answer", true, false } }) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(portal.start());
        useApi(portal.apiBaseURL());
        std::string token = c.validToken ? storeTokenOf("demo", "demo123") : "no-such-token";
        LoginManager::sharedInstance()->recordUserToken(token);
        auto centre = openCentre();
        portal.clearReceivedRequests();
        if (!c.portalUp)
            portal.stop();
        logouts = 0;

        ASSERT_TRUE(driver.tapText("退出"));
        EXPECT_EQ(logouts, 1);
        EXPECT_EQ(tokenAtLogout, token) << "observers still see the token";
        EXPECT_FALSE(LoginManager::sharedInstance()->getUserToken());
        EXPECT_FALSE(LoginManager::sharedInstance()->userInformation());
        driver.advance(pf::NavigationController::TransitionDuration + 0.05);
        EXPECT_EQ(top(), root);

        settle();
        if (c.portalUp) {
            auto requests = portal.receivedRequests();
            ASSERT_EQ(requests.size(), 1u);
            EXPECT_EQ(requests[0].path, "/api/user/logout");
            EXPECT_EQ(requests[0].header("Authorization"), "OAuth usertoken=\"" + token + "\"") << "the logout carries the token";
        }
        EXPECT_EQ(logouts, 1) << "the reply changes nothing";
        portal.stop();
    }
}

}
