#include "sdk/lmconnect/lmapi/LMApiDatastore.h"
#include "sdk/lmconnect/lmapi/LMApiImageObject.h"
#include "sdk/lmconnect/lmapi/LMApiInterface.h"
#include "sdk/lmconnect/lmapi/LMApiInterfaceDelegate.h"
#include "sdk/lmconnect/lmapi/LMApiMessage.h"
#include "sdk/lmconnect/lmapi/LMApiMessageAndUrlConverter.h"
#include "sdk/lmconnect/lmapi/LMApiNewsObject.h"
#include "sdk/lmconnect/lmapi/LMApiResultObject.h"
#include "sdk/lmconnect/lmapi/LMApiTextObject.h"
#include "sdk/lmconnect/lmapi/LMOpenApiUtility.h"
#include "sdk/lmconnect/lmapi/LMWebViewKit.h"
#include "sdk/lmconnect/lmapi/SendMessageToLMResp.h"
#include "sdk/lmconnect/lmapi/ShowMessageFromLMReq.h"
#include "sdk/lmconnect/lmapi/UIImageScaleSizeToFill.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"

#include "platform/foundation/HostTable.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "platform/testing/TaskEnvironment.h"
#include "tools/peers/LMPresenceService.h"
#include "tools/peers/PeersServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <typeinfo>

namespace {

struct Receiver : LMApiInterfaceDelegate {
    std::vector<std::shared_ptr<LMBaseReq>> requests;
    std::vector<std::shared_ptr<LMBaseResp>> responses;
    std::vector<std::map<std::string, std::string>> online;
    void onReq(const std::shared_ptr<LMBaseReq>& req) override { requests.push_back(req); }
    void onResp(const std::shared_ptr<LMBaseResp>& resp) override { responses.push_back(resp); }
    void isOnlineResponse(const std::map<std::string, std::string>& statuses) override { online.push_back(statuses); }
};

class LMIncomingTest : public testing::Test {
protected:
    LMIncomingTest()
    {
        pf::Pasteboard::resetAll();
        LMApiDatastore::instance().appId = "100481327";
    }
    static pf::Url url(const std::string& text) { return *pf::Url::fromString(text); }
    static std::string b64(const std::string& text) { return LMOpenApiUtility::base64EncodedStringWithUTF8String(text); }
    pf::TaskEnvironment env;
    std::shared_ptr<Receiver> receiver = std::make_shared<Receiver>();
};

TEST_F(LMIncomingTest, AddressesFromTheLMAppBecomeMessages)
{
    LMApiDatastore::instance().setApiLargeData(
        pf::Dictionary { { "file_data", pf::Bytes { 9, 9, 9 } }, { "previewimagedata", pf::Bytes { 1 } } });
    // "/view" takes the picture's bytes from the large-data slot, never from the address.
    auto view = LMApiMessageAndUrlConverter::messageWithUrl(
        url("mlmapi100://request_from_lm/view?file_type=img&title=" + b64("图") + "&description=" + b64("d") + "&file_data=AAAA"));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->type, 1u);
    auto image = std::dynamic_pointer_cast<LMApiImageObject>(view->object);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->title, "图");
    EXPECT_EQ(image->data, (pf::Bytes { 9, 9, 9 }));
    EXPECT_EQ(image->previewImageData, pf::Bytes { 1 });

    auto news = LMApiMessageAndUrlConverter::messageWithUrl(
        url("x://request_from_lm/view?file_type=news&url=" + b64("http://g/1") + "&title=" + b64("t")));
    ASSERT_TRUE(news);
    auto page = std::dynamic_pointer_cast<LMApiNewsObject>(news->object);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->url, "http://g/1");
    EXPECT_EQ(page->targetContentType, LMApiURLObject::News);

    auto pick = LMApiMessageAndUrlConverter::messageWithUrl(url("x://request_from_lm/pick?a=1"));
    ASSERT_TRUE(pick);
    EXPECT_EQ(pick->type, 3u);

    auto answer = LMApiMessageAndUrlConverter::messageWithUrl(url("x://response_from_lm/?error=0"));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->type, 6u);
    auto result = std::dynamic_pointer_cast<LMApiResultObject>(answer->object);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->error, "0");
    EXPECT_EQ(result->errorDescription, "");

    for (const char* nothing : { "x://request_from_lm/other?a=1", "x://elsewhere/view?a=1", "x://request_from_lm/pick" }) {
        SCOPED_TRACE(nothing);
        EXPECT_FALSE(LMApiMessageAndUrlConverter::messageWithUrl(url(nothing)));
    }
    auto unknown = LMApiMessageAndUrlConverter::messageWithUrl(url("x://request_from_lm/view?file_type=zip"));
    ASSERT_TRUE(unknown);
    EXPECT_FALSE(unknown->object);

    // The delegate hears requests and LM's answers; other kinds are not ours.
    EXPECT_TRUE(LMApiInterface::handleOpenURL(url("x://request_from_lm/pick?a=1"), receiver));
    EXPECT_TRUE(LMApiInterface::handleOpenURL(url("x://response_from_lm/?error=0&error_description=" + b64("好")), receiver));
    ASSERT_EQ(receiver->requests.size(), 1u);
    ASSERT_EQ(receiver->responses.size(), 1u);
    EXPECT_EQ(receiver->responses[0]->result, "0");
    EXPECT_EQ(receiver->responses[0]->errorDescription, "好");
    EXPECT_EQ(typeid(*receiver->responses[0]), typeid(SendMessageToLMResp));
    EXPECT_FALSE(LMApiInterface::responseToSendMessageToLM(LMApiTextObject::objectWithText("x"), receiver));
    EXPECT_FALSE(LMApiInterface::handleOpenURL(url("x://request_from_lm/nothing?a=1"), receiver));
}

TEST_F(LMIncomingTest, TheShareReturnOfTheBrowserIsReadAfterTheTwoCharacters)
{
    const std::string base = std::string("morrow100481327://") + LMWebViewKit::kAuthorizationHost + "/share";
    struct Case {
        std::string address;
        std::optional<std::pair<std::string, std::string>> result; // error, description
    };
    const std::vector<Case> cases {
        { base + "?#action=shareToLM&result=cancel", std::pair<std::string, std::string> { "-4", "the user give up the current operation" } },
        { base + "?#action=share&result=complete&response=%7B%22ret%22%3A0%2C%22msg%22%3A%22ok%22%7D",
            std::pair<std::string, std::string> { "0", "ok" } },
        { base + "?#action=share&result=odd", std::pair<std::string, std::string> { "-5", "unknown error" } },
        { base + "#action=share&result=cancel", std::nullopt },
        { base + "?#action=login&result=cancel", std::nullopt },
        { "morrow999://" + std::string(LMWebViewKit::kAuthorizationHost) + "/share?#action=share&result=cancel", std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        auto message = LMApiMessageAndUrlConverter::messageWithUrl(url(c.address));
        ASSERT_EQ(bool(message), bool(c.result));
        if (!message)
            continue;
        EXPECT_EQ(message->type, 6u);
        auto result = std::static_pointer_cast<LMApiResultObject>(message->object);
        EXPECT_EQ(result->error, c.result->first);
        EXPECT_EQ(result->errorDescription, c.result->second);
    }
    auto pieces = LMWebViewKit::dictionaryByParseUrlFromSeparator("a?#k=1&x&y=a=b&=v&k=%E5%A5%BD", "?#");
    EXPECT_EQ(pieces, (std::map<std::string, std::string> { { "k", "好" } }));
}

TEST_F(LMIncomingTest, OnlineStatusComesFromThePresenceReply)
{
    peers::PeersServer server;
    peers::addAllVendorServices(server);
    ASSERT_TRUE(server.start());
    pf::HostTable::pointAllAt(server.rootURL());
    server.service<peers::LMPresenceService>()->setOnline("10001", true);
    LMApiInterface::getLMUinOnlineStatues({ "10001", "20002" }, receiver);
    ASSERT_TRUE(env.runUntil([&] { return !receiver->online.empty(); }));
    EXPECT_EQ(receiver->online[0], (std::map<std::string, std::string> { { "10001", "YES" }, { "20002", "NO" } }));
    EXPECT_EQ(server.requests("/lmpresence/").at(0).query, "Type=1&10001:20002:");

    EXPECT_EQ(LMOpenApiUtility::dictionaryWithReturnString("abcdefghij1;klmnopqrst0;", { "1", "2" }),
        (std::map<std::string, std::string> { { "1", "YES" }, { "2", "NO" } }));
    EXPECT_TRUE(LMOpenApiUtility::dictionaryWithReturnString("abcdefghij1", { "1" }).empty());
    EXPECT_TRUE(LMOpenApiUtility::dictionaryWithReturnString("short1;abcdefghij7;", { "1", "2" }).empty());
}

TEST_F(LMIncomingTest, AThumbnailFillsItsSquareAndCutsTheLongerSideEqually)
{
    // A 1000 x 500 picture: red left of x 300, green from there, a blue column at x 500..501.
    pf::BitmapContext source(pf::Size { 1000, 500 }, 1.0);
    source.setFillColor(pf::Color(1, 0, 0, 1));
    source.fillRect(pf::Rect(0, 0, 300, 500));
    source.setFillColor(pf::Color(0, 1, 0, 1));
    source.fillRect(pf::Rect(300, 0, 700, 500));
    source.setFillColor(pf::Color(0, 0, 1, 1));
    source.fillRect(pf::Rect(500, 0, 2, 500));
    auto thumb = UIImageScaleSizeToFill(source.makeImage(), { 140, 140 });
    ASSERT_TRUE(thumb);
    EXPECT_EQ(thumb->pixelWidth(), 140);
    EXPECT_EQ(thumb->pixelHeight(), 140);
    // The drawing is 280 x 140 centred: source x maps to 0.28 x - 70, so 300 lands at 14 and
    // the middle column at 70.
    auto color = [&](int x) { return thumb->colorAt(x, 70); };
    EXPECT_GT(color(10).red, 0.8);
    EXPECT_GT(color(18).green, 0.8);
    EXPECT_GT(color(70).blue, 0.5);
    EXPECT_GT(color(100).green, 0.8);

    auto small = std::make_shared<pf::Image>(100, 100);
    EXPECT_EQ(UIImageScaleSizeToFill(small, { 140, 140 }), small);
    EXPECT_FALSE(UIImageScaleSizeToFill(small, { -1, 140 }));
    EXPECT_FALSE(UIImageScaleSizeToFill(nullptr, { 140, 140 }));
}

TEST_F(LMIncomingTest, Base64FollowsTheStandardAndTakesPaddingOnlyAtTheEnd)
{
    auto decode = [](const std::string& text) -> std::optional<std::string> {
        size_t length = 0;
        std::uint8_t* bytes = mrosdk_base64_decode(text.data(), text.size(), &length);
        if (!bytes)
            return std::nullopt;
        std::string out(reinterpret_cast<char*>(bytes), length);
        std::free(bytes);
        return out;
    };
    const std::vector<std::pair<std::string, std::string>> vectors {
        { "", "" }, { "f", "Zg==" }, { "fo", "Zm8=" }, { "foo", "Zm9v" }, { "foob", "Zm9vYg==" }, { "fooba", "Zm9vYmE=" },
        { "foobar", "Zm9vYmFy" },
    };
    for (const auto& [plain, encoded] : vectors) {
        SCOPED_TRACE(plain);
        size_t length = 99;
        char* text = mrosdk_base64_encode(reinterpret_cast<const std::uint8_t*>(plain.data()), plain.size(), &length);
        ASSERT_TRUE(text);
        EXPECT_EQ(std::string(text), encoded);
        EXPECT_EQ(length, encoded.size());
        std::free(text);
        if (!encoded.empty()) {
            EXPECT_EQ(decode(encoded), plain);
        }
    }
    struct Case {
        std::string text;
        std::optional<std::string> plain;
    };
    const std::vector<Case> cases {
        { "Zm9v\nYmFy", "foobar" }, // characters outside the alphabet are skipped
        { "Zm9v*YmE=", "fooba" },
        { "", std::nullopt },
        { "Zm9", std::nullopt },
        { "Zg==Zm9v", std::nullopt }, // padding before the end
        { "Zm=vYmFy", std::nullopt },
        { "Z===", std::nullopt },
        { "====", std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(decode(c.text), c.plain);
    }
    EXPECT_EQ(LMOpenApiUtility::UTF8StringWithBase64String(LMOpenApiUtility::base64EncodedStringWithUTF8String("礼包")), "礼包");
    EXPECT_FALSE(LMOpenApiUtility::UTF8StringWithBase64String("/w=="));
}

}
