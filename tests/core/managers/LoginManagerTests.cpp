#include "core/managers/LoginManager.h"

#include "core/records/UserInfo.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/testing/TestHttpServer.h"
#include "tests/support/PortalTestClient.h"

#include <gtest/gtest.h>

namespace {

struct Posted {
    std::string name;
    pf::Value object;
};

class LoginManagerTest : public ::testing::Test {
protected:
    LoginManagerTest()
    {
        EXPECT_TRUE(m_portal.start());
        pointAt(m_portal.apiBaseURL());
        // The manager registers first, as it does in the app; then the recorder, standing in
        // for a screen.
        m_manager = LoginManager::sharedInstance();
        m_owner = std::make_shared<int>(0);
        for (const char* name : { "UserLogin", "UserNotLogin", "AutoLoginUserInfo", "UserLogout" }) {
            pf::NotificationCenter::defaultCenter().addObserver(m_owner, name, [this](const pf::Notification& n) {
                m_posted.push_back({ n.name, n.object });
                m_userSeen.push_back(m_manager->userInformation());
            });
        }
    }

    void pointAt(const std::string& apiBase) { PortalTestClient::pointAt(m_portal, apiBase); }
    std::string storeTokenOf(const std::string& user, const std::string& password)
    {
        return PortalTestClient::storeTokenOf(m_env, user, password);
    }

    bool waitForPosts(size_t count)
    {
        bool arrived = m_env.runUntil([&] { return m_posted.size() >= count; });
        m_env.waitForPendingWork();
        return arrived;
    }

    size_t userInfoRequestsSent() const
    {
        size_t n = 0;
        for (auto& r : m_portal.receivedRequests())
            n += r.path == "/api/user/info";
        return n;
    }

    pf::TaskEnvironment m_env;
    portal::PortalServer m_portal;
    std::shared_ptr<LoginManager> m_manager;
    std::shared_ptr<int> m_owner;
    std::vector<Posted> m_posted;
    std::vector<std::shared_ptr<UserInfo>> m_userSeen;
};

}

TEST_F(LoginManagerTest, WithoutATokenNothingIsSentAndUserNotLoginComesAtOnce)
{
    m_manager->requestUserInfo();
    ASSERT_EQ(m_posted.size(), 1u);
    EXPECT_EQ(m_posted[0].name, "UserNotLogin");
    EXPECT_TRUE(m_posted[0].object.isMissing());

    m_manager->requestAutoLoginUserInfo();
    ASSERT_EQ(m_posted.size(), 2u);
    EXPECT_EQ(m_posted[1].name, "UserNotLogin");
    m_env.waitForPendingWork();
    EXPECT_EQ(userInfoRequestsSent(), 0u);
}

TEST_F(LoginManagerTest, AGoodTokenPostsUserLoginAfterTheRecordIsFilled)
{
    std::string token = storeTokenOf("demo", "demo123");
    ASSERT_FALSE(token.empty());

    m_manager->requestUserInfo();
    ASSERT_TRUE(waitForPosts(1));
    ASSERT_EQ(m_posted.size(), 1u);
    EXPECT_EQ(m_posted[0].name, "UserLogin");
    EXPECT_EQ(m_posted[0].object["ret"].intValue(), 0);
    // The manager's handler ran before the screen's.
    ASSERT_TRUE(m_userSeen[0]);
    EXPECT_EQ(m_userSeen[0]->nickname().text(), "萌新玩家");
    auto request = m_portal.receivedRequests().back();
    EXPECT_EQ(request.header("Authorization"), "OAuth usertoken=\"" + token + "\"");
    EXPECT_NE(request.body.find("avaType=small"), std::string::npos) << request.body;

    // A logout empties the record before any screen hears of it.
    pf::NotificationCenter::defaultCenter().post("UserLogout");
    EXPECT_FALSE(m_userSeen.back());
    EXPECT_FALSE(m_manager->userInformation());

    // So does a login (a screen's) whose body is no record: the previous user's record goes.
    m_manager->setUserInformation(m_userSeen[0]);
    pf::NotificationCenter::defaultCenter().post("UserLogin", pf::Value(pf::Dictionary { { "ret", 0 }, { "body", "ok" } }));
    EXPECT_FALSE(m_manager->userInformation());
}

TEST_F(LoginManagerTest, ARejectedTokenIsKeptAndOnlyThePlainRequestAnswers)
{
    m_manager->recordUserToken("no-such-token");

    m_manager->requestAutoLoginUserInfo();
    m_env.waitForPendingWork();
    EXPECT_TRUE(m_posted.empty());
    EXPECT_FALSE(m_manager->userInformation());

    m_manager->requestUserInfo();
    ASSERT_TRUE(waitForPosts(1));
    EXPECT_EQ(m_posted[0].name, "UserNotLogin");
    EXPECT_NE(m_posted[0].object["ret"].intValue(), 0);
    EXPECT_EQ(m_manager->getUserToken(), "no-such-token");

    // The start-up request fills the record and says so.
    storeTokenOf("gamer", "gamer123");
    m_manager->requestAutoLoginUserInfo();
    ASSERT_TRUE(waitForPosts(2));
    EXPECT_EQ(m_posted[1].name, "AutoLoginUserInfo");
    ASSERT_TRUE(m_manager->userInformation());
    EXPECT_EQ(m_manager->userInformation()->userName().text(), "gamer");
}

TEST_F(LoginManagerTest, OnlyTheLatestRequestIsAnswered)
{
    storeTokenOf("demo", "demo123");
    m_manager->requestUserInfo();
    m_manager->requestUserInfo();
    m_env.waitForPendingWork();
    m_env.runUntilIdle();
    EXPECT_EQ(userInfoRequestsSent(), 2u);
    ASSERT_EQ(m_posted.size(), 1u);
    EXPECT_EQ(m_posted[0].name, "UserLogin");
}

TEST_F(LoginManagerTest, RepliesThatAreNotASuccessNeverLogTheUserIn)
{
    pf::TestHttpServer fake;
    pointAt(fake.url("/api/"));
    m_manager->recordUserToken("some-token");

    const std::vector<std::string> replies {
        "<html>502 Bad Gateway</html>",           // not JSON
        "[0]",                                    // not an object
        R"({"msg":"no ret","body":{}})",          // no "ret"
        R"({"ret":"abc","body":{}})",             // a text that is no number
        R"({"ret":null,"body":{}})",
        R"({"ret":0,"msg":"no body"})",           // success without the user
        R"({"ret":0,"body":"demo"})",
    };
    for (const auto& body : replies) {
        SCOPED_TRACE(body);
        fake.reply("POST", "/api/user/info", 200, body, "application/json");
        m_posted.clear();

        m_manager->requestAutoLoginUserInfo();
        m_env.waitForPendingWork();
        EXPECT_TRUE(m_posted.empty());

        m_manager->requestUserInfo();
        ASSERT_TRUE(waitForPosts(1));
        ASSERT_EQ(m_posted.size(), 1u);
        EXPECT_EQ(m_posted[0].name, "UserNotLogin");
        EXPECT_FALSE(m_manager->userInformation());
    }

    // A well-formed success, for contrast, with "ret" sent as text.
    fake.reply("POST", "/api/user/info", 200, R"({"ret":"0","body":{"nickname":"x","username":"x"}})", "application/json");
    m_posted.clear();
    m_manager->requestUserInfo();
    ASSERT_TRUE(waitForPosts(1));
    EXPECT_EQ(m_posted[0].name, "UserLogin");
    ASSERT_TRUE(m_manager->userInformation());
    EXPECT_EQ(m_manager->userInformation()->nickname().text(), "x");
}
