#include "sdk/lmconnect/host/MorrowDataMgr.h"
#include "sdk/lmconnect/apps/MorrowSessionDelegate.h"
#include "sdk/lmconnect/analytics/MRA4LC.h"
#include "sdk/lmconnect/analytics/MRA4LCConfig.h"
#include "sdk/lmconnect/apps/MorrowAppLauncher.h"
#include "sdk/lmconnect/apps/MorrowAppPasteboard.h"
#include "sdk/lmconnect/apps/OpenApi.h"
#include "sdk/lmconnect/apps/OpenApiDelegate.h"
#include "sdk/lmconnect/lmapi/LMApiSharedData.h"

#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Url.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kAppId = "100481327";
constexpr const char* kReplyScheme = "morrow100481327";

// A session as the hand-off sees it: what it was handed, and credentials kept as given. It
// counts a sign-in with open id and token as whole, whatever the expiry.
struct FakeSession : OpenApiDelegate {
    std::vector<std::string> addresses;
    std::vector<SignIn> signIns;
    bool takesAddresses { true };
    bool handleOpenURL(const pf::Url& url) override
    {
        addresses.push_back(url.absoluteString());
        return takesAddresses;
    }
    bool openApiDidReceiveSignIn(const SignIn& signIn) override
    {
        signIns.push_back(signIn);
        return signIn.openId && !signIn.openId->empty() && signIn.accessToken && !signIn.accessToken->empty();
    }
};

struct LoginRecorder : MorrowSessionDelegate {
    std::vector<std::string> calls;
    void morrowDidLogin() override { calls.push_back("login"); }
    void morrowDidNotLogin(bool cancelled) override { calls.push_back(cancelled ? "cancelled" : "failed"); }
};

pf::Url url(const std::string& text) { return *pf::Url::fromString(text); }

TEST(HandOff, ASignInReplyReachesTheSessionOnlyThroughItsDelegate)
{
    pf::TaskEnvironment env;
    auto session = std::make_shared<FakeSession>();
    auto login = std::make_shared<LoginRecorder>();
    OpenApi::registerAppWithDelegateAndOldApi(kAppId, login, session);
    OpenApi::setLoginDelegate(login);
    const std::string reply = std::string(kReplyScheme) + "://lzapp/x/0?generalpastboard=1";

    struct Case {
        const char* name;
        pf::Dictionary reply;
        const char* heard;
        bool refused; // the expiry the session is given is none
    };
    const Case cases[] = {
        { "whole", { { "openid", "O" }, { "access_token", "T" }, { "expires_in", "60" }, { "encrytoken", "E" } }, "login", false },
        { "no open id", { { "access_token", "T" }, { "expires_in", "60" } }, "failed", false },
        // A negative lifetime fails even though the session would count the rest as whole.
        { "negative lifetime", { { "openid", "O" }, { "access_token", "T" }, { "expires_in", "-1" } }, "failed", true },
        { "cancelled", { { "user_cancelled", "YES" }, { "openid", "O" } }, "cancelled", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        session->signIns.clear();
        login->calls.clear();
        ASSERT_TRUE(MorrowAppPasteboard::saveDictionaryByGeneralPastboardWithSchema(c.reply, kReplyScheme));
        EXPECT_TRUE(OpenApi::handleOpenURL(url(reply)));
        EXPECT_EQ(login->calls, std::vector<std::string> { c.heard });
        if (std::string(c.heard) == "cancelled") {
            EXPECT_TRUE(session->signIns.empty()) << "a cancel hands the session nothing";
            continue;
        }
        ASSERT_EQ(session->signIns.size(), 1u);
        const auto& given = session->signIns[0];
        EXPECT_EQ(given.openId, c.reply.find("openid") ? c.reply.find("openid")->optionalString() : std::nullopt);
        EXPECT_EQ(given.accessToken, c.reply.find("access_token")->optionalString());
        EXPECT_EQ(given.expirationDate.has_value(), !c.refused);
        if (given.expirationDate) {
            EXPECT_DOUBLE_EQ(*given.expirationDate, env.now() + 60);
        }
        EXPECT_EQ(given.encryToken, c.reply.find("encrytoken") ? c.reply.find("encrytoken")->optionalString() : std::nullopt);
    }

    // What is no reply goes to the session's scripts; the scripts handing one back are refused.
    EXPECT_TRUE(OpenApi::handleOpenURL(url(std::string(kReplyScheme) + "://lzapp/only")));
    EXPECT_TRUE(OpenApi::handleOpenURL(url("other://host/a/b")));
    EXPECT_EQ(session->addresses, (std::vector<std::string> { std::string(kReplyScheme) + "://lzapp/only", "other://host/a/b" }));

    // The hand-off holds the session weakly: once it is gone, nothing takes the address.
    session.reset();
    OpenApi::clearParamIfSessionGone();
    EXPECT_FALSE(OpenApi::handleOpenURL(url("other://host/a/b")));
}

// A pooled object of the data manager's, as the share stages them.
std::shared_ptr<LMApiSharedData> pooled()
{
    return std::make_shared<LMApiSharedData>(pf::Dictionary { { "image_data", pf::Value(pf::Bytes { 1, 2, 3 }) } });
}

TEST(HandOff, ANewLaunchForgetsWhatTheLibraryKeptForTheProcess)
{
    pf::TaskEnvironment env;
    auto session = std::make_shared<FakeSession>();
    OpenApi::registerAppWithDelegateAndOldApi(kAppId, {}, session);
    ASSERT_TRUE(MorrowAppPasteboard::saveDictionaryToPasteBoard({ { "a", "1" } }));
    auto firstKey = MorrowDataMgr::getInstance().addObjectInDataMgr(pooled());
    ASSERT_TRUE(firstKey);
    auto engine = MRA4LC::getInstance();
    MRA4LCConfig::shared().reportStrategy = 6;
    ASSERT_TRUE(env.waitForPendingWork());

    pf::ResetRegistry::resetAll();
    EXPECT_EQ(MorrowAppLauncher::appSchema(), "");
    EXPECT_EQ(MorrowAppPasteboard::pasteboardName(), "");
    EXPECT_FALSE(OpenApi::handleOpenURL(url("other://host/a/b"))) << "the session is forgotten";
    EXPECT_TRUE(session->addresses.empty());
    EXPECT_FALSE(MorrowDataMgr::getInstance().objByKey(*firstKey));
    EXPECT_EQ(MorrowDataMgr::getInstance().addObjectInDataMgr(pooled()), firstKey) << "the pool counts from the start again";
    EXPECT_NE(MRA4LC::getInstance(), engine);
    EXPECT_NE(MRA4LCConfig::shared().reportStrategy.load(), 6);
    ASSERT_TRUE(env.waitForPendingWork());
}

}
