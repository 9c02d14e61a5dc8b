// The client against the local portal: parameters signed by the client, sent by the requestor,
// checked and answered by the portal, read back as records.
#include "core/records/GiftListItemInfo.h"
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
