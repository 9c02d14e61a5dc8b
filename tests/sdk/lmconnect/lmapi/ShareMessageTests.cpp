#include "LMShareFixture.h"

#include "sdk/lmconnect/host/MorrowDataMgr.h"
#include "sdk/lmconnect/lmapi/LMApiDatastore.h"
#include "sdk/lmconnect/lmapi/LMApiImageObject.h"
#include "sdk/lmconnect/lmapi/LMApiMessage.h"
#include "sdk/lmconnect/lmapi/LMApiPayObject.h"
#include "sdk/lmconnect/lmapi/LMApiShareCoder.h"
#include "sdk/lmconnect/lmapi/LMApiSharedData.h"
#include "sdk/lmconnect/lmapi/LMApiTextObject.h"

namespace {

TEST_F(LMShareTest, TheShareMessageTellsTheScriptWhatKindOfContentItCarries)
{
    auto news = LMApiNewsObject::objectWithURL("http://gifts.example/g/1", "t", "d", std::string("http://pics.example/p.jpg"));
    news->cflag = 18446744073709551615ull;
    auto text = LMApiTextObject::objectWithText("just text");
    text->title = "t";
    auto image = LMApiExtendObject::objectWithData<LMApiImageObject>(pf::Bytes { 5 }, pf::Bytes { 6 }, "t", "d", { pf::Bytes { 7 } });
    auto pay = LMApiPayObject::objectWithOrderNo("NO-1");
    struct Case {
        const char* name;
        std::shared_ptr<LMApiMessage> message;
        std::map<std::string, pf::Value> fields;
        std::optional<pf::Dictionary> pooled;
    };
    const std::vector<Case> cases {
        { "news by address", LMApiMessage::messageWithObject(news),
            { { "isUrlObject", "YES" }, { "object_imageUrl", "http://pics.example/p.jpg" }, { "object_targetUrl", "http://gifts.example/g/1" },
                { "text_data", "" }, { "shareType", 0 }, { "object_type", "LMApiNewsObject" }, { "message_type", "5" },
                { "cflag", "18446744073709551615" }, { "app_name", "礼包" }, { "platform", "ios" } },
            std::nullopt },
        { "text", LMApiMessage::messageWithObject(text),
            { { "isUrlObject", "NO" }, { "object_type", "LMApiTextObject" }, { "text_data", "just text" }, { "object_imageUrl", "" },
                { "object_targetUrl", "" } },
            std::nullopt },
        { "picture to LZone", LMApiMessage::messageWithObject(image, LMApiMessage::SendToLZone),
            { { "object_type", "LMApiImageObject" }, { "shareType", 1 }, { "message_type", "7" } },
            pf::Dictionary { { "previewimagedata", pf::Bytes { 6 } }, { "file_data", pf::Bytes { 5 } },
                { "image_data_list", pf::Array { pf::Bytes { 7 } } } } },
        { "pay", LMApiMessage::messageWithObject(pay), { { "order_no", "NO-1" }, { "isUrlObject", "NO" } }, std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pf::Dictionary json = LMApiShareCoder::shareMessageJSON(*c.message);
        for (const auto& [key, value] : c.fields) {
            const pf::Value* got = json.find(key);
            ASSERT_TRUE(got) << key;
            EXPECT_EQ(*got, value) << key;
        }
        const pf::Value* key = json.find("key_ImageDataArray");
        ASSERT_EQ(bool(key), bool(c.pooled));
        if (!key)
            continue;
        auto pooled = std::dynamic_pointer_cast<const LMApiSharedData>(MorrowDataMgr::getInstance().objByKey(key->stringValue()));
        ASSERT_TRUE(pooled);
        EXPECT_EQ(pooled->data(), *c.pooled);
    }
}

TEST_F(LMShareTest, TextsThatCouldEndAScriptLiteralReachTheLMAppIntact)
{
    auto lm = peers::LMApp::install(3);
    const std::string title = "礼包\u2028\"码\" 'x' \\ </script>\u2029%41";
    EXPECT_EQ(LMApiInterface::sendReq(newsShare(title)), 0);
    ASSERT_TRUE(env.runUntil([&] { return !lm->shares().empty(); }));
    auto got = lm->shares()[0];
    EXPECT_TRUE(got.problems.empty()) << testing::PrintToString(got.problems);
    EXPECT_EQ(got.fields["title"], title);
}

}
