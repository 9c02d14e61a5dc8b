#include "BlipTestSupport.h"

#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/QueryString.h"
#include "platform/foundation/Sandbox.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Button.h"
#include "platform/ui/Driver.h"
#include "sdk/libBlipSDK/BPAuthorizeRequest.h"
#include "sdk/libBlipSDK/BPAuthorizeWebView.h"
#include "sdk/libBlipSDK/BPSendMessageToBlipRequest.h"
#include "sdk/libBlipSDK/BPSendMessageToBlipResponse.h"
#include "sdk/libBlipSDK/BlipText.h"
#include "tools/peers/apps/BlipApp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

using namespace blip;
using namespace blip::test;

namespace {

std::shared_ptr<BPAuthorizeRequest> authorizeRequest()
{
    auto request = BPAuthorizeRequest::request();
    request->redirectURI = "http://localhost/blip/callback";
    request->scope = "all";
    request->userInfo = pf::Dictionary { { "SSO_From", "gift" }, { "n", 123 }, { "list", pf::Array { "obj1", "obj2" } } };
    return request;
}

std::shared_ptr<BPSendMessageToBlipRequest> shareRequest()
{
    auto message = BPMessageObject::message();
    message->text = "礼包兑换码 http://localhost/g/7";
    message->imageObject = BPImageObject::object();
    message->imageObject->imageData = pf::Bytes(5000, 0x5A);
    return BPSendMessageToBlipRequest::requestWithMessage(message);
}

std::shared_ptr<pf::AlertView> visibleAlert()
{
    return pf::AlertView::visibleAlert();
}

TEST(BlipTransfer, RegistrationKeepsOneItemPerKeyNewKeysFirst)
{
    BlipWorld world;
    EXPECT_FALSE(BlipSDK::registerApp(""));
    EXPECT_FALSE(pf::Pasteboard::withName("blipsdk_registed_apps", false));

    ASSERT_TRUE(BlipSDK::registerApp("other"));
    ASSERT_TRUE(BlipSDK::registerApp(kAppKey));
    ASSERT_TRUE(BlipSDK::registerApp("other"));
    auto apps = peers::BlipApp::registeredApps();
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0].first, kAppKey);
    EXPECT_EQ(apps[1].first, "other");
    EXPECT_EQ(pf::Value(apps[0].second)["bundleID"], pf::Value("com.quorvane.gifts"));
    EXPECT_EQ(pf::Value(apps[0].second)["name"], pf::Value("礼包"));
    EXPECT_TRUE(pf::Pasteboard::withName("blipsdk_registed_apps", false)->isPersistent());
}

// Another app's item that does not read (its type is not UTF-8) costs only itself: the other
// registrations stay through ours, ours is replaced, and the file as it was is set aside.
TEST(BlipTransfer, ARegistrationThatDoesNotReadCostsOnlyItself)
{
    BlipWorld world;
    auto record = [](const char* name) { return pf::KeyedArchiver::archivedValue(pf::Dictionary { { "name", name } }); };
    auto board = pf::Pasteboard::withName("blipsdk_registed_apps", true);
    board->setPersistent(true);
    board->setItems({ { { "other", record("其他") } }, { { "keyX", pf::Bytes { 1 } } }, { { kAppKey, record("old") } } });
    std::string file = pf::Sandbox::current()->libraryPath() + "/Pasteboards/blipsdk_registed_apps.plist";
    pf::Bytes damaged = *pf::FileManager::read(file);
    const std::string type = "keyX";
    auto at = std::search(damaged.begin(), damaged.end(), type.begin(), type.end());
    ASSERT_NE(at, damaged.end());
    *(at + 3) = 0xE9;
    ASSERT_TRUE(pf::FileManager::writeAtomically(file, damaged));
    pf::Pasteboard::forgetUnsaved();

    ASSERT_TRUE(BlipSDK::registerApp(kAppKey));
    pf::Pasteboard::forgetUnsaved();
    auto apps = peers::BlipApp::registeredApps();
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0].first, "other");
    EXPECT_EQ(pf::Value(apps[0].second)["name"], pf::Value("其他"));
    EXPECT_EQ(apps[1].first, kAppKey);
    EXPECT_EQ(pf::Value(apps[1].second)["name"], pf::Value("礼包"));
    EXPECT_EQ(pf::Pasteboard::withName("blipsdk_registed_apps", false)->numberOfItems(), 2u);
    EXPECT_EQ(pf::FileManager::read(pf::FileManager::asidePath(file)), damaged);
}

TEST(BlipTransfer, AuthorisationThenShareInsideTheDelegateRoundTripOnBothPasteboardSchemes)
{
    for (const char* version : { "7.0", "6.1" }) {
        SCOPED_TRACE(version);
        BlipWorld world;
        pf::Device::current().setSystemVersion(version);
        auto blipApp = peers::BlipApp::install();
        ASSERT_TRUE(BlipSDK::registerApp(kAppKey));
        auto share = shareRequest();
        world.delegate->onResponse = [&](const std::shared_ptr<BPBaseResponse>& response) {
            auto authorized = std::dynamic_pointer_cast<BPAuthorizeResponse>(response);
            if (authorized && authorized->userInfo && !pf::Value(*authorized->userInfo)["uid"].stringValue().empty()) {
                EXPECT_TRUE(BlipSDK::sendRequest(share));
            }
        };
        auto authorize = authorizeRequest();
        ASSERT_TRUE(BlipSDK::sendRequest(authorize));
        world.env.runUntilIdle();

        auto got = blipApp->received();
        ASSERT_EQ(got.size(), 2u);
        EXPECT_EQ(got[0].url, "blipsdk://request?id=" + *authorize->requestID + "&sdkversion=2.4");
        EXPECT_EQ(got[0].itemOrder, (std::vector<std::string> { "transferObject", "userInfo", "app", "sdkVersion" }));
        EXPECT_TRUE(got[0].problems.empty()) << got[0].problems.front();
        EXPECT_EQ(pf::Value(*got[0].object)["redirectURI"], pf::Value("http://localhost/blip/callback"));
        EXPECT_EQ(*got[0].userInfo, *authorize->userInfo);
        // The share staged inside the delegate reached Blip whole.
        EXPECT_TRUE(got[1].problems.empty()) << got[1].problems.front();
        pf::Value message = pf::Value(*got[1].object)["message"];
        EXPECT_EQ(message["imageObject"]["imageData"], pf::Value(pf::Bytes(5000, 0x5A)));
        EXPECT_EQ(message["__class"], pf::Value("BPMessageObject"));

        ASSERT_EQ(world.delegate->responses.size(), 2u);
        auto authorized = std::dynamic_pointer_cast<BPAuthorizeResponse>(world.delegate->responses[0]);
        ASSERT_TRUE(authorized);
        EXPECT_EQ(authorized->statusCode, 0);
        EXPECT_EQ(authorized->userID, "1900001234");
        EXPECT_EQ(authorized->accessToken, "blip-access-token");
        ASSERT_TRUE(authorized->expirationDate);
        EXPECT_DOUBLE_EQ(authorized->expirationDate->secondsSince1970(), world.env.now() + 3600);
        EXPECT_EQ(authorized->requestID, authorize->requestID);
        EXPECT_EQ(authorized->requestUserInfo, authorize->userInfo);
        auto shared = std::dynamic_pointer_cast<BPSendMessageToBlipResponse>(world.delegate->responses[1]);
        ASSERT_TRUE(shared);
        EXPECT_EQ(shared->requestID, share->requestID);
        // Answers leave no transfer behind, and the userInfo kept for them is gone.
        EXPECT_EQ(BlipSDK::cachedRequestUserInfoCount(), 0u);
        if (std::string(version) == "7.0") {
            EXPECT_EQ(pf::Pasteboard::general()->numberOfItems(), 0u);
        } else {
            EXPECT_FALSE(pf::Pasteboard::withName(BPDataTransferObject::pasteboardNameWithID("request", *share->requestID), false));
        }
    }
}

TEST(BlipTransfer, WithoutASuitableBlipAppRequestsEndInThePageThePromptOrMinus99)
{
    BlipWorld world;
    ASSERT_TRUE(BlipSDK::registerApp(kAppKey));
    auto legacy = peers::BlipApp::install(peers::BlipApp::Version::Legacy);

    // An old app: authorisation in the page, a share answered -99 in-process.
    EXPECT_TRUE(BlipSDK::sendRequest(authorizeRequest()));
    auto page = findDialog(world.window);
    ASSERT_TRUE(page);
    page->closeButton()->sendActionsForControlEvents(pf::ControlEvent::TouchUpInside);
    EXPECT_FALSE(findDialog(world.window));
    world.env.runUntilIdle();
    auto share = shareRequest();
    EXPECT_TRUE(BlipSDK::sendRequest(share));
    world.env.runUntilIdle();
    ASSERT_EQ(world.delegate->responses.size(), 2u);
    EXPECT_EQ(world.delegate->responses[0]->statusCode, -1);
    EXPECT_FALSE(world.delegate->responses[0]->userInfo);
    auto unsupported = std::dynamic_pointer_cast<BPSendMessageToBlipResponse>(world.delegate->responses[1]);
    ASSERT_TRUE(unsupported);
    EXPECT_EQ(unsupported->statusCode, -99);
    EXPECT_EQ(unsupported->requestID, share->requestID);
    EXPECT_TRUE(legacy->received().empty());

    // No app: without the prompt allowed the share fails, yet it is staged.
    legacy->uninstall();
    world.delegate->responses.clear();
    auto quiet = shareRequest();
    quiet->shouldOpenBlipAppInstallPageIfNotInstalled = false;
    EXPECT_FALSE(BlipSDK::sendRequest(quiet));
    EXPECT_TRUE(pf::Pasteboard::general()->containsType("transferObject"));
    EXPECT_FALSE(visibleAlert());

    // Two prompts in a row: each answers for its own request.
    auto first = shareRequest();
    auto second = shareRequest();
    EXPECT_TRUE(BlipSDK::sendRequest(first));
    EXPECT_TRUE(BlipSDK::sendRequest(second));
    ASSERT_TRUE(visibleAlert());
    EXPECT_EQ(visibleAlert()->message(), "未安装闪讯客户端，\n是否现在去下载？");
    EXPECT_EQ(visibleAlert()->buttonTitleAtIndex(0), "以后再说");
    EXPECT_EQ(visibleAlert()->buttonTitleAtIndex(1), "现在下载");
    pf::Driver driver;
    ASSERT_EQ(driver.tapAlertButton("以后再说").outcome, pf::TouchResult::Outcome::Delivered);
    world.env.fastForwardBy(1);
    ASSERT_EQ(world.delegate->responses.size(), 1u);
    EXPECT_EQ(world.delegate->responses[0]->statusCode, -4);
    EXPECT_EQ(world.delegate->responses[0]->requestID, first->requestID);

    pf::AppRegistry::shared().clearRecords();
    second->writeToPasteboard();
    ASSERT_EQ(driver.tapAlertButton("现在下载").outcome, pf::TouchResult::Outcome::Delivered);
    world.env.fastForwardBy(1);
    EXPECT_EQ(world.delegate->responses.size(), 1u);
    ASSERT_EQ(pf::AppRegistry::shared().openedURLs().size(), 1u);
    EXPECT_EQ(pf::AppRegistry::shared().openedURLs()[0].url, BlipSDK::hosts().address(BlipSDK::kDownloadPage));
    EXPECT_EQ(pf::Pasteboard::general()->numberOfItems(), 0u);
}

TEST(BlipTransfer, AnInvalidReceivedRequestIsAnsweredMinus99HalfASecondLater)
{
    BlipWorld world;
    auto blipApp = peers::BlipApp::install();
    ASSERT_TRUE(BlipSDK::registerApp(kAppKey));
    // Blip may not send an authorisation request to an app.
    std::string id = BPDataTransferObject::UUID();
    peers::BlipApp::sendToApp(kAppKey, "request", id,
        pf::Dictionary { { "__class", "BPAuthorizeRequest" }, { "requestID", id }, { "redirectURI", "x" } },
        pf::Dictionary { { "foreign", "data" } });
    world.env.runUntilIdle();
    EXPECT_TRUE(world.delegate->requests.empty());
    world.env.fastForwardBy(0.49);
    EXPECT_TRUE(blipApp->received().empty());
    world.env.fastForwardBy(0.02);
    auto replies = blipApp->received();
    ASSERT_EQ(replies.size(), 1u);
    const auto& reply = replies[0];
    EXPECT_EQ(reply.type, "response");
    EXPECT_EQ(pf::Value(*reply.object)["statusCode"], pf::Value(-99));
    EXPECT_EQ(pf::Value(*reply.object)["requestID"], pf::Value(id));
    EXPECT_EQ(pf::Value(*reply.object)["__class"], pf::Value("BPBaseResponse"));
    // Made here, the reply takes no userInfo from what the pasteboard held.
    EXPECT_FALSE(reply.userInfo);
    EXPECT_EQ(reply.itemOrder, (std::vector<std::string> { "transferObject", "app", "sdkVersion" }));

    // A provide-message request is delivered.
    std::string asked = BPDataTransferObject::UUID();
    peers::BlipApp::sendToApp(kAppKey, "request", asked,
        pf::Dictionary { { "__class", "BPProvideMessageForBlipRequest" }, { "requestID", asked } }, std::nullopt);
    world.env.runUntilIdle();
    ASSERT_EQ(world.delegate->requests.size(), 1u);
    EXPECT_EQ(world.delegate->requests[0]->className(), "BPProvideMessageForBlipRequest");
}

pf::Bytes keyedArchive(pf::Array objects)
{
    pf::Dictionary top { { "root", pf::Dictionary { { "CF$UID", 1 } } } };
    return *pf::PropertyList::write(pf::Dictionary { { "$archiver", "KeyedArchiver" }, { "$version", 100000 },
                                        { "$objects", std::move(objects) }, { "$top", top } },
        pf::PropertyList::Format::Binary);
}

TEST(BlipTransfer, HostileTransfersAndAddressesDeliverNothing)
{
    BlipWorld world;
    ASSERT_TRUE(BlipSDK::registerApp(kAppKey));
    const std::string id = "5B1C3F0A-0000-4000-8000-000000000001";
    auto stage = [&](pf::Bytes transferObject) {
        pf::Pasteboard::general()->setItems({ { { "transferObject", std::move(transferObject) } },
            { { "sdkVersion", pf::Bytes { '2', '.', '4' } } } });
    };
    auto response = [&](pf::Dictionary extra) {
        pf::Dictionary d { { "__class", "BPSendMessageToBlipResponse" }, { "responseID", id }, { "statusCode", 0 } };
        for (const auto& [k, v] : extra)
            d.set(k, v);
        return pf::KeyedArchiver::archivedValue(d);
    };
    pf::Value deep = pf::Array {};
    for (int i = 0; i < 200; ++i)
        deep = pf::Array { deep };
    pf::Dictionary ref1 { { "CF$UID", 1 } };
    struct Case {
        const char* name;
        pf::Bytes transferObject;
        bool delivered;
        long long status = 0;
    };
    const Case cases[] = {
        { "well formed", response({}), true },
        { "no archive", pf::Bytes(300, 'z'), false },
        { "foreign class", pf::KeyedArchiver::archivedValue(pf::Dictionary { { "__class", "NSTask" }, { "responseID", id } }), false },
        { "request class as response", pf::KeyedArchiver::archivedValue(pf::Dictionary { { "__class", "BPAuthorizeRequest" }, { "responseID", id } }), false },
        { "id of the wrong type", response({ { "responseID", 7 } }), false },
        { "status of the wrong type", response({ { "statusCode", "-1" } }), true },
        { "status as a real number", response({ { "statusCode", -3.0 } }), true, -3 },
        { "status as a huge real number", response({ { "statusCode", 1e300 } }), true, std::numeric_limits<long long>::max() },
        { "cycle", keyedArchive(pf::Array { "$null", pf::Dictionary { { "$class", ref1 }, { "items", pf::Array { ref1 } } } }), false },
        { "deep nesting", keyedArchive(pf::Array { "$null", deep }), false },
        { "17 MiB", response({ { "pad", pf::Bytes(17u << 20, 0) } }), false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        world.delegate->responses.clear();
        stage(c.transferObject);
        EXPECT_TRUE(BlipSDK::handleOpenURL(*pf::Url::fromString(std::string("bp") + kAppKey + "://response?id=" + id), world.delegate));
        EXPECT_EQ(world.delegate->responses.size(), c.delivered ? 1u : 0u);
        if (c.delivered) {
            EXPECT_EQ(world.delegate->responses[0]->statusCode, c.status); // a status that is no number counts as absent
        }
    }

    stage(response({}));
    struct Address {
        std::string url;
        bool taken;
    };
    const Address addresses[] = {
        { "bpother://response?id=" + id, false },
        { "http://response?id=" + id, false },
        { std::string("bp") + kAppKey + "://response?uid=x&id=" + id, true },
        { std::string("bp") + kAppKey + "://response?sdkversion=2.4", true },
        { std::string("bp") + kAppKey + "://elsewhere?id=" + id, true },
    };
    for (const Address& a : addresses) {
        world.delegate->responses.clear();
        EXPECT_EQ(BlipSDK::handleOpenURL(*pf::Url::fromString(a.url), world.delegate), a.taken) << a.url;
        EXPECT_TRUE(world.delegate->responses.empty()) << a.url;
    }
    EXPECT_EQ(BlipSDK::queryValueWithName("id", "bp1://x?ID=a%20b&x=1"), "a b");
    EXPECT_EQ(BlipSDK::queryValueWithName("id", "bp1://x?uid=1&id=2"), std::nullopt);
}

}

namespace {

TEST(BlipTransfer, QueryDictionaryReadsEscapesInTheGivenEncoding)
{
    pf::TaskEnvironment env;
    using Charset = pf::TextEncoding::Charset;
    using Pairs = std::map<std::string, std::string>;
    struct Case {
        const char* what;
        std::string query;
        Charset encoding;
        Pairs expected;
    };
    const std::vector<Case> cases {
        { "both separators; one = per piece; a later name wins", "a=%E7%A4%BC;b=1&c=x=y&d;=e&b=2&", Charset::Utf8,
            { { "", "e" }, { "a", "礼" }, { "b", "2" } } },
        { "GB18030 names and values, literal text kept", "%C3%FB=%C0%F1%B0%FC;k=x%84%31%A4%36y", Charset::GB18030,
            { { "名", "礼包" }, { "k", "x\uFFFCy" } } },
        { "GB18030 escapes are no UTF-8", "a=%C0%F1&b=1", Charset::Utf8, { { "b", "1" } } },
        { "escapes that are no GB18030 text drop their pair", "a=%FF%FF&b=%C0&c=%C0%F1&d=%G1&%84%31=x", Charset::GB18030,
            { { "c", "礼" } } },
        { "a byte sequence is not cut between runs", "a=%C0x%F1", Charset::GB18030, {} },
    };
    for (const auto& c : cases)
        EXPECT_EQ(BlipSDK::queryDictionaryOfURLQueryUsingEncoding(c.query, c.encoding), c.expected) << c.what;

    // What the encoder writes, the reader takes back in the same encoding.
    const std::string text = "丂=礼;包&\uFFFC 😀";
    for (Charset encoding : { Charset::Utf8, Charset::GB18030 }) {
        auto escaped = BlipText::urlEncodedStringWithCFStringEncoding(text, encoding);
        ASSERT_TRUE(escaped);
        EXPECT_EQ(BlipSDK::queryDictionaryOfURLQueryUsingEncoding("k=" + *escaped + ";z=1", encoding),
            (Pairs { { "k", text }, { "z", "1" } }));
    }
    // Another app's address: a query over the reader's bound gives nothing.
    EXPECT_TRUE(BlipSDK::queryDictionaryOfURLQueryUsingEncoding("a=" + std::string(pf::QueryString::kMaximumLength, 'x'),
        Charset::Utf8).empty());
}

TEST(BlipTransfer, DebugModeExplainsEveryRefusalAndSilenceOtherwise)
{
    BlipWorld world;
    pf::Log::startCapture();
    EXPECT_FALSE(BlipSDK::sendRequest(shareRequest())); // quiet while the debug mode is off
    EXPECT_TRUE(pf::Log::captured().empty());

    BlipSDK::enableDebugMode(true);
    struct Case {
        std::function<bool()> act;
        std::string line;
    };
    const Case cases[] = {
        { [] { return BlipSDK::registerApp(""); }, "BlipSDK registerApp error : appKey不能为空" },
        { [] { return BlipSDK::sendRequest(shareRequest()); },
            "BlipSDK send BPSendMessageToBlipRequest error : 尚未注册第三方应用，请先调用 [BlipSDK registerApp:] 方法注册" },
        { [] { BlipSDK::registerApp(kAppKey); return BlipSDK::sendRequest(BPSendMessageToBlipRequest::requestWithMessage(nullptr)); },
            "BlipSDK send BPSendMessageToBlipRequest error : 请求中的消息体不能为空" },
        { [] { return BlipSDK::openAppWithTransferObject(shareRequest()); },
            "BlipSDK send BPSendMessageToBlipRequest error : object.app 不能为空" },
        // A text the archive cannot hold stages nothing, rather than a transfer without its object.
        { [] {
             auto r = shareRequest();
             r->message->text = std::string("礼包") + '\0' + "兑换码";
             return BlipSDK::sendRequest(r) || pf::Pasteboard::withName(r->pasteboardName(), false) != nullptr;
         },
            "BlipSDK send BPSendMessageToBlipRequest error : the transfer object cannot be stored" },
        { [] { auto r = shareRequest(); r->shouldOpenBlipAppInstallPageIfNotInstalled = false; return BlipSDK::sendRequest(r); },
            "BlipSDK send BPSendMessageToBlipRequest : 尚未安装闪讯客户端程序" },
    };
    for (const Case& c : cases) {
        pf::Log::stopCapture();
        pf::Log::startCapture();
        EXPECT_FALSE(c.act());
        EXPECT_TRUE(pf::Log::contains(c.line)) << c.line;
    }
    pf::Log::stopCapture();
}

}
