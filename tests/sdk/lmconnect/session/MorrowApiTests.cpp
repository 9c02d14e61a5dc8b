#include "sdk/lmconnect/host/MorrowDataMgr.h"
#include "sdk/lmconnect/apps/MorrowSessionDelegate.h"
#include "sdk/lmconnect/apps/MorrowApiInterface.h"
#include "sdk/lmconnect/apps/MorrowApiResp.h"
#include "sdk/lmconnect/apps/MorrowApiUtil.h"
#include "sdk/lmconnect/apps/MorrowAudioMessageObjV1.h"
#include "sdk/lmconnect/apps/MorrowImageAndVideoMessageObjV1.h"
#include "sdk/lmconnect/apps/MorrowMessagePack.h"
#include "sdk/lmconnect/apps/MorrowOpenURLRouter.h"
#include "sdk/lmconnect/apps/MorrowTextMessageObjV1.h"
#include "sdk/lmconnect/apps/OpenApi.h"

#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/Application.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/Url.h"
#include "platform/testing/TaskEnvironment.h"
#include "tools/peers/apps/LZoneApp.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kApiScheme = "morrowapi100481327";

struct Receiver : MorrowSessionDelegate {
    bool answer { true };
    std::vector<std::shared_ptr<MorrowApiReq>> requests;
    bool onMorrowReq(const std::shared_ptr<MorrowApiReq>& req) override
    {
        requests.push_back(req);
        return answer;
    }
};

// A class of someone else's, written where a message belongs.
struct Stranger : MorrowBaseMessageObj {
    static constexpr const char* kArchiveClassName = "Stranger";
    std::string_view archiveClassName() const override { return kArchiveClassName; }
};

struct RouterDelegate : pf::ApplicationDelegate {
    bool openURL(pf::Application&, const pf::Url& url, const std::string& source) override { return MorrowOpenURLRouter::route(url, source); }
};

std::shared_ptr<MorrowApiReq> request(int platform, std::vector<std::shared_ptr<MorrowBaseMessageObj>> messages = {})
{
    auto req = std::make_shared<MorrowApiReq>();
    req->nPlatform = platform;
    req->nSeq = 42;
    req->arrMessage = std::move(messages);
    return req;
}

class MorrowApiTest : public testing::Test {
protected:
    MorrowApiTest()
    {
        pf::Pasteboard::resetAll();
        pf::AppRegistry::shared().removeAll();
        pf::Application::shared().reset();
        pf::Bundle::main()->setInfoValue("CFBundleURLTypes",
            pf::Array { pf::Dictionary { { "CFBundleURLName", "morrowApiIdentifier" }, { "CFBundleURLSchemes", pf::Array { kApiScheme } } } });
        OpenApi::registerAppWithDelegateAndOldApi("100481327", receiver, {});
    }
    ~MorrowApiTest() override
    {
        pf::AppRegistry::shared().removeAll();
    }

    std::string address(const std::string& path, const std::string& type) const
    {
        return std::string(kApiScheme) + "://kTecentReqContent/" + path + "?kPastboardName=x&kPastboardType=" + type;
    }
    bool receive(const pf::Bytes& archive, const std::string& path = "kMorrowReqContent")
    {
        pf::Pasteboard::general()->setData(archive, MorrowApiUtil::pasteboardType());
        return MorrowApiInterface::handleOpenURL(*pf::Url::fromString(address(path, MorrowApiUtil::pasteboardType())), receiver);
    }

    pf::TaskEnvironment env;
    std::shared_ptr<Receiver> receiver = std::make_shared<Receiver>();
};

TEST_F(MorrowApiTest, LZoneRequestsReachTheDelegateOnceAndARefusalIsAnswered)
{
    auto lzone = peers::LZoneApp::install(5);
    auto req = request(1, { std::make_shared<MorrowTextMessageObjV1>("你好"), std::make_shared<MorrowImageAndVideoMessageObjV1>(pf::Bytes { 1 }, "http://v") });
    ASSERT_TRUE(peers::LZoneApp::sendRequest(kApiScheme, pf::KeyedArchiver::archivedData(*req), MorrowApiUtil::pasteboardType()));
    pf::Application::shared().setDelegate(std::make_shared<RouterDelegate>());
    receiver->answer = false;
    ASSERT_TRUE(env.runUntil([&] { return !lzone->received().empty(); }));
    ASSERT_EQ(receiver->requests.size(), 1u);
    auto got = receiver->requests[0];
    EXPECT_EQ(got->nSeq, 42);
    ASSERT_EQ(got->arrMessage.size(), 2u);
    EXPECT_EQ(std::dynamic_pointer_cast<MorrowTextMessageObjV1>(got->arrMessage[0])->sText, std::optional<std::string>("你好"));
    auto both = std::dynamic_pointer_cast<MorrowImageAndVideoMessageObjV1>(got->arrMessage[1]);
    ASSERT_TRUE(both && both->objVideoMessage);
    EXPECT_EQ(both->objVideoMessage->sUrl, std::optional<std::string>("http://v")) << "bytes that are no picture leave the address";

    // LZone decodes the refusal it was sent.
    auto answer = lzone->received()[0];
    EXPECT_EQ(answer.url.rfind("morrowapi.lzone.reqContent://kTecentReqContent/kMorrowRespContent?", 0), 0u) << answer.url;
    ASSERT_TRUE(answer.response);
    auto resp = pf::KeyedUnarchiver::unarchivedObject<MorrowApiResp>(*answer.response);
    ASSERT_TRUE(resp && resp->objReq);
    EXPECT_EQ(resp->nRetCode, -1);
    EXPECT_EQ(resp->objReq->nSeq, 42);

    // Read once: the same address again finds nothing. A response address is refused.
    auto again = *pf::Url::fromString(address("kMorrowReqContent", MorrowApiUtil::pasteboardType()));
    EXPECT_FALSE(MorrowApiInterface::handleOpenURL(again, receiver));
    EXPECT_FALSE(receive(pf::KeyedArchiver::archivedData(*MorrowApiResp::respFromReq(req)), "kMorrowRespContent"));
    EXPECT_FALSE(MorrowApiInterface::canOpenURL(*pf::Url::fromString(address("kMorrowReqContent/more", "t"))));
    EXPECT_EQ(receiver->requests.size(), 1u);
}

TEST_F(MorrowApiTest, ForeignOrBrokenArchivesAreNoRequest)
{
    pf::Bytes good = pf::KeyedArchiver::archivedData(*request(1, { std::make_shared<MorrowTextMessageObjV1>("a") }));
    pf::Bytes cut(good.begin(), good.begin() + good.size() / 2);
    const std::vector<std::pair<const char*, pf::Bytes>> cases {
        { "a stranger among the messages", pf::KeyedArchiver::archivedData(*request(1, { std::make_shared<Stranger>() })) },
        { "a plain dictionary", pf::KeyedArchiver::archivedValue(pf::Value(pf::Dictionary { { "nPlatform", 1 } })) },
        { "cut", cut },
        { "20 MiB", pf::Bytes(20u << 20, 0) },
        { "no archive", pf::Bytes { 'b', 'p', 'l', 'i', 's', 't' } },
    };
    for (const auto& [name, archive] : cases)
        EXPECT_FALSE(receive(archive)) << name;
    EXPECT_TRUE(receiver->requests.empty());
    // Another type named by the address is neither read nor cleared.
    pf::Pasteboard::general()->setData(good, "other.type");
    EXPECT_FALSE(MorrowApiInterface::handleOpenURL(*pf::Url::fromString(address("kMorrowReqContent", "other.type")), receiver));
    EXPECT_TRUE(pf::Pasteboard::general()->dataForType("other.type"));
    EXPECT_TRUE(receive(good));
    EXPECT_EQ(receiver->requests.size(), 1u);
}

TEST_F(MorrowApiTest, ResponsesAreCheckedAndSizedBeforeTheyAreSent)
{
    auto image = [](size_t bytes, int type) {
        auto message = std::make_shared<MorrowImageMessageObjV1>(type);
        message->dataImage = pf::Bytes(bytes, 7);
        return message;
    };
    auto respWith = [](int platform, std::shared_ptr<MorrowBaseMessageObj> message) {
        return MorrowApiResp::respFromReq(request(platform, { std::move(message) }));
    };
    auto audio = std::make_shared<MorrowAudioMessageObjV1>();
    audio->sDescription = std::string(MorrowBaseMessageObj::kTextLimit + 1, 'd');
    auto base = std::make_shared<MorrowBaseMessageObj>();
    base->sName = std::string(MorrowBaseMessageObj::kTextLimit + 1, 'n');

    EXPECT_EQ(MorrowApiInterface::sendRespMessageToMorrowApp(nullptr), -1);
    EXPECT_EQ(MorrowApiInterface::sendRespMessageToMorrowApp(respWith(1, image(1, 0))), 1) << "LZone missing";
    auto lzone = peers::LZoneApp::install(5, false);
    EXPECT_EQ(MorrowApiInterface::sendRespMessageToMorrowApp(respWith(1, image(1, 0))), 2) << "LZone without the API";
    lzone = peers::LZoneApp::install(5);
    pf::AppRegistry::shared().clearRecords();
    EXPECT_EQ(MorrowApiInterface::sendRespMessageToMorrowApp(respWith(0, image(1, 0))), 0);
    EXPECT_TRUE(pf::AppRegistry::shared().openedURLs().empty()) << "nothing is sent to a platform other than LZone";

    const std::vector<std::pair<std::shared_ptr<MorrowBaseMessageObj>, int>> checks {
        { image(1, 0), 0 }, { image(1, 2), 3 }, { std::make_shared<MorrowTextMessageObjV1>(std::string(MorrowBaseMessageObj::kTextLimit + 1, 't')), 3 },
        { std::make_shared<MorrowTextMessageObjV1>(std::string(MorrowBaseMessageObj::kTextLimit, 't')), 0 }, { audio, 3 }, { base, 3 },
        { image(MorrowBaseMessageObj::kImageLimit + 1, 0), 3 },
    };
    for (size_t i = 0; i < checks.size(); ++i)
        EXPECT_EQ(MorrowApiInterface::sendRespMessageToMorrowApp(respWith(1, checks[i].first)), checks[i].second) << i;

    // The archive cap: exactly 10,485,760 bytes go, one more does not.
    auto sized = [&](size_t target) {
        size_t probe = 10'000'000;
        auto resp = respWith(1, image(probe, 0));
        size_t overhead = MorrowMessagePack::dataWithMorrowRespMessage(*resp).size() - probe;
        resp = respWith(1, image(target - overhead, 0));
        EXPECT_EQ(MorrowMessagePack::dataWithMorrowRespMessage(*resp).size(), target);
        return resp;
    };
    EXPECT_EQ(MorrowApiInterface::sendRespMessageToMorrowApp(sized(MorrowApiInterface::kMaxArchiveBytes)), 0);
    EXPECT_EQ(MorrowApiInterface::sendRespMessageToMorrowApp(sized(MorrowApiInterface::kMaxArchiveBytes + 1)), 3);
}

}

namespace {

TEST(MorrowApiChannel, ThirdAppsAreOpenedByIdAndNeverAnswered)
{
    pf::TaskEnvironment env;
    pf::AppRegistry::shared().removeAll();
    std::vector<std::string> opened;
    pf::AppRegistry::shared().install({ "com.example.third", { "morrow42.content" },
        [&](const pf::Url& url, const std::string&) { opened.push_back(url.absoluteString()); } });
    EXPECT_TRUE(MorrowApiInterface::openThirdApp("42"));
    EXPECT_FALSE(MorrowApiInterface::openThirdApp("43"));
    EXPECT_FALSE(MorrowApiInterface::openThirdApp("a b"));
    env.runUntilIdle();
    EXPECT_EQ(opened, std::vector<std::string> { "morrow42.content://" });
    EXPECT_EQ(MorrowApiInterface::sendRespMessaageToThirdAppAppId(nullptr, "42"), 2);
    EXPECT_EQ(MorrowApiInterface::getMorrowAppInstallUrl(1), std::nullopt);

    MorrowApiInterface::registApp("100481327");
    EXPECT_EQ(MorrowDataMgr::getInstance().appId(), "100481327");

    EXPECT_FALSE(MorrowApiInterface::installIphoneLZone());
    auto lzone = peers::LZoneApp::install(3, false);
    EXPECT_TRUE(MorrowApiInterface::installIphoneLZone());
    EXPECT_FALSE(MorrowApiInterface::iphoneLZoneSupportApi());
    lzone->uninstall();
    lzone = peers::LZoneApp::install(3, true);
    EXPECT_TRUE(MorrowApiInterface::iphoneLZoneSupportApi());
    pf::AppRegistry::shared().removeAll();
}

}
