#include "core/AppInfoConfiguration.h"
#include "core/NetworkParameterAssistant.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/testing/TaskEnvironment.h"

#include "tests/support/ReferenceDigest.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

constexpr const char* kKey = "k3y-Secret";
constexpr const char* kOpenID = "client-9";
constexpr const char* kVersion = "7.1.2";
constexpr const char* kToken = "tok-5e1f";

class NetworkParameterAssistantTest : public testing::Test {
protected:
    NetworkParameterAssistantTest()
        : env(1'700'000'000.75)
    {
        auto configuration = AppInfoConfiguration::sharedInstance();
        configuration->setAppKey(kKey);
        configuration->setOpenID(kOpenID);
        configuration->setApiBaseURL("http://127.0.0.1:8080/api/");
        configuration->setForumBaseURL("http://127.0.0.1:8080/");
        pf::Device::current().setSystemVersion(kVersion);
        pf::UserDefaults::standard()->setString("usertoken", kToken);
        auto bundle = pf::Bundle::main();
        bundle->setInfoValue("CFBundleIdentifier", "app.quorvane.gifts");
        bundle->setInfoValue("CFBundleShortVersionString", "1.0.3");
    }

    ~NetworkParameterAssistantTest() override { pf::Device::current().resetToDefaults(); }

    // The common keys of a map signed over `signedText` at the environment's time.
    RequestParameters expected(RequestParameters own, const std::string& signedText, bool withWare = true)
    {
        const std::string actime = "1700000000.000000";
        if (withWare)
            own["ware"] = kVersion;
        own["openid"] = kOpenID;
        own["actime"] = actime;
        own["actoken"] = testsupport::referenceMd5Hex(kKey + signedText + actime);
        return own;
    }

    pf::TaskEnvironment env;
};

}

TEST_F(NetworkParameterAssistantTest, EveryBuilderSignsItsOwnText)
{
    using NPA = NetworkParameterAssistant;
    const std::string token = kToken;
    EXPECT_EQ(NPA::parametersForUserInfoWithAvaType("small"), expected({ { "avaType", "small" } }, token));
    EXPECT_EQ(NPA::parametersForUserLogin("demo", "p@ss", "password"),
        expected({ { "username", "demo" }, { "password", "p@ss" }, { "grant_type", "password" } }, "demo"));
    EXPECT_EQ(NPA::parametersForUserRegister("a@b.cn", "新人", "pw1", "pw2"),
        expected({ { "username", "a@b.cn" }, { "nickname", "新人" }, { "pwd", "pw1" }, { "pwd2", "pw2" } }, "a@b.cn新人"));
    EXPECT_EQ(NPA::parametersForLoginWithLM("W1", "S2"), expected({ { "webauth", "W1" }, { "saltkey", "S2" } }, "W1S2"));
    EXPECT_EQ(NPA::parametersForUserLogout(), expected({}, token));
    EXPECT_EQ(NPA::parametersForGiftList(2, 20, 3), expected({ { "type", "2" }, { "count", "20" }, { "page", "3" } }, "2"));
    EXPECT_EQ(NPA::parametersForGiftDetail(1001), expected({ { "fid", "1001" } }, "1001"));
    EXPECT_EQ(NPA::parametersForGiftObtain(1001, "q7", "天地"),
        expected({ { "fid", "1001" }, { "verifystr", "q7" }, { "verifyCode", "天地" } }, "1001" + token));
    // A pick-up sends no captcha but still signs the gift and the token.
    EXPECT_EQ(NPA::parametersForGiftObtain(77, "", ""), expected({ { "fid", "77" } }, "77" + token));
    EXPECT_EQ(NPA::parametersForMyGiftsWithCount(20, 1), expected({ { "count", "20" }, { "page", "1" } }, token));
    EXPECT_EQ(NPA::parametersForGiftStatus(-4), expected({ { "fid", "-4" } }, "-4"));
    EXPECT_EQ(NPA::parametersForGiftSearching("星海", 20, 1),
        expected({ { "wd", "星海" }, { "count", "20" }, { "page", "1" } }, "星海"));
    EXPECT_EQ(NPA::parametersForSearchingRecommendation(1), expected({ { "type", "1" } }, "1"));
    EXPECT_EQ(NPA::parametersForBoxUpdating(),
        expected({ { "pagename", "app.quorvane.gifts" }, { "version", "1.0.3" } }, "app.quorvane.gifts1.0.3"));
    EXPECT_EQ(NPA::parametersForShufflingImages("ka"), expected({ { "typeid", "ka" } }, "ka"));
    EXPECT_EQ(NPA::parametersForVerifyCode(), expected({}, token));
    EXPECT_EQ(NPA::parametersForWAPForumLogin(), expected({ { "refurl", "http://127.0.0.1:8080/forum-2508-1.html" } }, token));
    EXPECT_EQ(NPA::parametersForUserReflashUserToken(), expected({}, token));
    EXPECT_EQ(NPA::parametersForVerificationCodeImage(), expected({}, token, false));
}

TEST_F(NetworkParameterAssistantTest, MissingOpenIdAndTokenAreLeftOutOrSignedEmpty)
{
    AppInfoConfiguration::sharedInstance()->setOpenID("");
    pf::UserDefaults::standard()->removeObjectForKey("usertoken");
    auto parameters = NetworkParameterAssistant::parametersForWAPForumLogin();
    EXPECT_EQ(parameters.count("openid"), 0u);
    EXPECT_EQ(parameters.at("actoken"), testsupport::referenceMd5Hex(std::string(kKey) + "1700000000.000000"));
}

TEST_F(NetworkParameterAssistantTest, RequestTimeIsWholeSecondsOfTheLoopClockPast2038)
{
    EXPECT_EQ(NetworkParameterAssistant::fetchActime(), 1'700'000'000.0);
    EXPECT_EQ(NetworkParameterAssistant::parametersForGiftDetail(1).at("actime"),
        NetworkParameterAssistant::parametersForGiftList(0, 20, 1).at("actime"));

    env.clock().setNow(4'102'444'800.999); // 2100-01-01
    auto parameters = NetworkParameterAssistant::parametersForGiftDetail(5);
    EXPECT_EQ(parameters.at("actime"), "4102444800.000000");
    EXPECT_EQ(parameters.at("actoken"), testsupport::referenceMd5Hex(std::string(kKey) + "5" + "4102444800.000000"));
}

TEST_F(NetworkParameterAssistantTest, DigestStopsAtANul)
{
    EXPECT_EQ(NetworkParameterAssistant::fetchActoken(std::string("ab\0cd", 5), 1.0), testsupport::referenceMd5Hex(std::string(kKey) + "ab"));
}

TEST_F(NetworkParameterAssistantTest, OperationTableCoversElevenToTwentySeven)
{
    EXPECT_FALSE(NetworkParameterAssistant::getRequestAddress(10).has_value());
    EXPECT_FALSE(NetworkParameterAssistant::getRequestAddress(28).has_value());
    EXPECT_EQ(NetworkParameterAssistant::getRequestAddress(16), "http://127.0.0.1:8080/api/zz");
    EXPECT_EQ(NetworkParameterAssistant::getRequestAddress(11), "http://127.0.0.1:8080/api/user/info");
    EXPECT_EQ(NetworkParameterAssistant::getRequestAddress(17), "http://127.0.0.1:8080/api/ka/list");
    EXPECT_EQ(NetworkParameterAssistant::getRequestAddress(27), "http://127.0.0.1:8080/api/user/refer");
    AppInfoConfiguration::sharedInstance()->setApiBaseURL("");
    EXPECT_FALSE(NetworkParameterAssistant::getRequestAddress(17).has_value());
}
