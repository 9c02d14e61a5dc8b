// The client against the local portal: parameters signed by the client, sent by the requestor,
// checked and answered by the portal, read back as records.
#include "core/records/GiftListItemInfo.h"
#include "core/records/GiftObtainInfo.h"
#include "core/records/UserInfo.h"
#include "core/records/VerificationCodeInfo.h"
#include "tests/support/PortalTestClient.h"

namespace {

using NPA = NetworkParameterAssistant;

class PortalClientTest : public testing::Test {
protected:
    PortalClientTest()
    {
        EXPECT_TRUE(portal.start());
        PortalTestClient::pointEverythingAt(portal);
    }

    pf::Value send(int operation, const RequestParameters& parameters, bool withToken)
    {
        return PortalTestClient::send(env, operation, parameters, withToken);
    }
    std::string login(const std::string& user, const std::string& password) { return PortalTestClient::storeTokenOf(env, user, password); }

    pf::TaskEnvironment env;
    portal::PortalServer portal;
};

}

TEST_F(PortalClientTest, FirstPageOfGiftsArrivesAsRecordsAndTheRequestIsAsSent)
{
    pf::Value reply = send(NPA::GiftList, NPA::parametersForGiftList(0, 20, 1), false);
    EXPECT_EQ(reply["ret"].intValue(), 0);
    auto gifts = GiftListItemInfo::listFromDictionary(reply);
    ASSERT_TRUE(gifts.has_value());
    EXPECT_EQ(gifts->size(), 20u);
    EXPECT_FALSE(gifts->front()->title().text().empty());
    EXPECT_GT(gifts->front()->fid(), 0);

    auto received = portal.receivedRequests();
    ASSERT_EQ(received.size(), 1u);
    const auto& request = received[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/api/ka/list");
    EXPECT_EQ(request.header("imei"), PortalTestClient::kDeviceIdentifier);
    EXPECT_EQ(request.header("Content-length"), std::to_string(request.body.size()));
    EXPECT_EQ(request.headerCount("Content-length"), 1u);
    EXPECT_FALSE(request.header("Authorization").has_value());
    EXPECT_NE(request.body.find("type=0"), std::string::npos);
    EXPECT_NE(request.body.find("actoken="), std::string::npos);

    // Past the last page the portal sends an empty list: no records at all.
    EXPECT_FALSE(GiftListItemInfo::listFromDictionary(send(NPA::GiftList, NPA::parametersForGiftList(0, 20, 9), false)).has_value());
}

TEST_F(PortalClientTest, LoginThenUserInfoCarriesTheTokenHeader)
{
    std::string token = login("demo", "demo123");
    ASSERT_FALSE(token.empty());
    portal.clearReceivedRequests();

    pf::Value reply = send(NPA::UserInfo, NPA::parametersForUserInfoWithAvaType("small"), true);
    ASSERT_EQ(reply["ret"].intValue(), 0);
    auto user = UserInfo::itemFromDictionary(reply["body"]);
    EXPECT_EQ(user->userName().text(), "demo");
    EXPECT_EQ(user->nickname().text(), "萌新玩家");
    EXPECT_EQ(portal.receivedRequests().at(0).header("Authorization"), "OAuth usertoken=\"" + token + "\"");

    // Logged out, the same request is refused with a message.
    EXPECT_EQ(send(NPA::UserLogout, NPA::parametersForUserLogout(), true)["ret"].intValue(), 0);
    pf::Value refused = send(NPA::UserInfo, NPA::parametersForUserInfoWithAvaType("small"), true);
    EXPECT_NE(refused["ret"].intValue(), 0);
    EXPECT_FALSE(refused["msg"].stringValue().empty());
}

TEST_F(PortalClientTest, PasswordWithReservedCharactersSurvivesTheTrip)
{
    const std::string password = "a&b=c+d%20e";
    pf::Value registered = send(NPA::UserRegister, NPA::parametersForUserRegister("wu@example.cn", "吴 三", password, password), false);
    ASSERT_EQ(registered["ret"].intValue(), 0) << registered["msg"].stringValue();
    EXPECT_FALSE(login("wu@example.cn", password).empty());
    pf::Value wrong = send(NPA::UserCredentials, NPA::parametersForUserLogin("wu@example.cn", "a", "password"), false);
    EXPECT_EQ(wrong["msg"].stringValue(), "用户名或密码错误");
}

TEST_F(PortalClientTest, WrongSigningKeyIsRefused)
{
    AppInfoConfiguration::sharedInstance()->setAppKey("not-the-key");
    pf::Value reply = send(NPA::GiftDetail, NPA::parametersForGiftDetail(1001), false);
    EXPECT_NE(reply["ret"].intValue(), 0);
    EXPECT_FALSE(reply["msg"].stringValue().empty());
}

TEST_F(PortalClientTest, ClaimGoesThroughTheCaptcha)
{
    login("gamer", "gamer123");
    // A free open gift from the first page.
    auto gifts = GiftListItemInfo::listFromDictionary(send(NPA::GiftList, NPA::parametersForGiftList(0, 20, 1), false));
    ASSERT_TRUE(gifts.has_value());
    std::shared_ptr<GiftListItemInfo> gift;
    for (auto& g : *gifts) {
        if (!gift && g->status() == 1 && g->extcredits1() == 0 && g->extcredits2() == 0)
            gift = g;
    }
    ASSERT_TRUE(gift);

    pf::Value captchaReply = send(NPA::VerifyCode, NPA::parametersForVerifyCode(), true);
    ASSERT_EQ(captchaReply["ret"].intValue(), 0);
    auto captcha = VerificationCodeInfo::itemFromDictionary(captchaReply["body"]);
    ASSERT_TRUE(captcha->verikey().has_value());
    EXPECT_EQ(captcha->verikey()->size(), 9u);
    auto answer = portal.service().answerOfCaptcha(captcha->verifystr().text());
    ASSERT_TRUE(answer.has_value());

    pf::Value obtained = send(NPA::GiftReceive, NPA::parametersForGiftObtain(gift->fid(), captcha->verifystr().text(), *answer), true);
    ASSERT_EQ(obtained["ret"].intValue(), 0) << obtained["msg"].stringValue();
    auto result = GiftObtainInfo::itemFromDictionary(obtained["body"]);
    EXPECT_EQ(result->fid(), gift->fid());
    EXPECT_FALSE(result->codeString().text().empty());
}
