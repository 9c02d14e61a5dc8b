#include "platform/foundation/KeyedArchiver.h"
#include "platform/testing/TaskEnvironment.h"
#include "sdk/libBlipSDK/BPAuthorizeRequest.h"
#include "sdk/libBlipSDK/BPAuthorizeResponse.h"
#include "sdk/libBlipSDK/BPMusicObject.h"
#include "sdk/libBlipSDK/BPSendMessageToBlipRequest.h"
#include "sdk/libBlipSDK/BPWebpageObject.h"
#include "sdk/libBlipSDK/BlipText.h"

#include <gtest/gtest.h>

using namespace blip;

namespace {

std::string repeat(const std::string& s, size_t n)
{
    std::string out;
    for (size_t i = 0; i < n; ++i)
        out += s;
    return out;
}

// userInfo whose archive is exactly `size` bytes: one data value grown to fit.
pf::Dictionary userInfoArchivingTo(size_t size)
{
    size_t payload = size - 4096;
    for (int round = 0; round < 3; ++round) {
        size_t got = pf::KeyedArchiver::archivedValue(pf::Dictionary { { "blob", pf::Bytes(payload, 1) } }).size();
        payload += size - got;
    }
    return pf::Dictionary { { "blob", pf::Bytes(payload, 1) } };
}

pf::Value nested(int depth)
{
    pf::Value v = pf::Array {};
    for (int i = 0; i < depth; ++i)
        v = pf::Array { v };
    return v;
}

TEST(BlipMessage, ValidationGivesTheFirstBrokenRuleAtEachEdge)
{
    pf::TaskEnvironment env;
    using Edit = std::function<void(BPSendMessageToBlipRequest&)>;
    auto text = [](std::string t) { return Edit([t](BPSendMessageToBlipRequest& r) { r.message->text = t; }); };
    auto image = [](size_t size) {
        return Edit([size](BPSendMessageToBlipRequest& r) {
            r.message->imageObject = BPImageObject::object();
            r.message->imageObject->imageData = pf::Bytes(size, 9);
        });
    };
    auto page = [](std::function<void(BPWebpageObject&)> edit) {
        return Edit([edit](BPSendMessageToBlipRequest& r) {
            auto object = BPWebpageObject::object();
            object->objectID = "gift-1";
            object->title = "Gift";
            object->webpageUrl = "http://127.0.0.1/g/1";
            edit(*object);
            r.message->mediaObject = object;
        });
    };
    const std::string tooLong = "消息文本内容长度必须小于140个汉字";
    struct Case {
        const char* name;
        Edit edit;
        std::optional<std::string> message;
    };
    const Case cases[] = {
        { "140 CJK", text(repeat("礼", 140)), std::nullopt },
        { "141 CJK", text(repeat("礼", 141)), tooLong },
        { "280 Latin", text(repeat("a", 280)), std::nullopt },
        { "281 Latin", text(repeat("a", 281)), tooLong },
        { "70 emoji", text(repeat("😀", 70)), std::nullopt },
        { "71 emoji", text(repeat("😀", 71)), tooLong },
        { "spaces only", text(repeat(" ", 1000)), std::nullopt },
        { "ideographic spaces and 139 CJK", text(repeat("\u3000", 2) + repeat("礼", 139)), std::nullopt },
        { "nothing", [](auto&) {}, "消息中文本内容、图片内容和多媒体内容必须至少有一项不能为空" },
        { "image 10485760", image(10485760), std::nullopt },
        { "image 10485761", image(10485761), "消息的图片内容中，图片数据不能为空并且大小不能超过10M" },
        { "image empty", image(0), "消息的图片内容中，图片数据不能为空并且大小不能超过10M" },
        { "image and page", [&](auto& r) { image(10)(r); page([](auto&) {})(r); }, "消息中图片内容和多媒体内容不能共存" },
        { "page without id", page([](auto& o) { o.objectID.reset(); o.webpageUrl.reset(); }), "多媒体对象ID不能为空且长度不能超过255" },
        { "page url 256", page([](auto& o) { o.webpageUrl = repeat("u", 256); }), "Webpage多媒体内容的webpageUrl不能为空并且长度不能超过255" },
        { "page thumbnail 32769", page([](auto& o) { o.thumbnailData = pf::Bytes(32769); }), "多媒体内容中缩略图大小不能大于32K" },
        { "no message", [](auto& r) { r.message.reset(); }, "请求中的消息体不能为空" },
        { "userInfo archive 10485760", [&](auto& r) { text("a")(r); r.userInfo = userInfoArchivingTo(10485760); }, std::nullopt },
        { "userInfo archive 10485761", [&](auto& r) { text("a")(r); r.userInfo = userInfoArchivingTo(10485761); }, "userInfo中的数据序列化后必须小于10M" },
        { "userInfo too deep", [&](auto& r) { text("a")(r); r.userInfo = pf::Dictionary { { "deep", nested(80) } }; }, "userInfo中的数据必须是可序列化的" },
    };
    for (const Case& c : cases) {
        auto request = BPSendMessageToBlipRequest::requestWithMessage(BPMessageObject::message());
        c.edit(*request);
        EXPECT_EQ(request->validateBeforeSend(), c.message) << c.name;
    }
    ASSERT_EQ(pf::KeyedArchiver::archivedValue(userInfoArchivingTo(10485760)).size(), 10485760u);

    // A media object of the base class, or music without its address, is refused by name.
    auto music = BPMusicObject::object();
    music->objectID = "m";
    music->title = "t";
    EXPECT_EQ(music->validate(), "Music多媒体内容的musicUrl不能为空并且长度不能超过255");
    BPBaseMediaObject base;
    EXPECT_EQ(base.validate(), "不能直接发送 BPBaseMediaObject 类型的多媒体对象");

    auto authorize = BPAuthorizeRequest::request();
    EXPECT_EQ(authorize->validateBeforeSend(), "认证请求中的redirectURI不能为空且长度小于1K");
    authorize->redirectURI = repeat("r", 1024);
    EXPECT_EQ(authorize->validateBeforeSend(), std::nullopt);
    authorize->redirectURI = repeat("r", 1025);
    EXPECT_EQ(authorize->validateBeforeSend(), "认证请求中的redirectURI不能为空且长度小于1K");
    EXPECT_EQ(BPAuthorizeResponse::response()->validateBeforeSend(), "不允许发送此种类型的数据 BPAuthorizeResponse");

    // A failed answer is never checked; a successful one needs its three fields.
    auto answer = BPAuthorizeResponse::response();
    EXPECT_EQ(answer->validateAfterReceive(), "认证响应中的userID不能为空");
    answer->statusCode = -1;
    EXPECT_EQ(answer->validateAfterReceive(), std::nullopt);
}

TEST(BlipMessage, DictionaryFormsRebuildOnlyKnownClassesWithContent)
{
    auto message = BPMessageObject::message();
    message->text = "hi";
    auto page = BPWebpageObject::object();
    page->objectID = "p";
    page->title = "t";
    page->webpageUrl = "http://x/";
    message->mediaObject = page;
    auto rebuilt = BPMessageObject::messageWithDictionary(BPMessageObject::dictionaryWithMessage(*message));
    ASSERT_TRUE(rebuilt);
    EXPECT_EQ(rebuilt->text, "hi");
    auto rebuiltPage = std::dynamic_pointer_cast<BPWebpageObject>(rebuilt->mediaObject);
    ASSERT_TRUE(rebuiltPage);
    EXPECT_EQ(rebuiltPage->webpageUrl, "http://x/");

    EXPECT_FALSE(BPMessageObject::messageWithDictionary(pf::Dictionary { { "__class", "BPMessageObject" } }));
    EXPECT_FALSE(BPMessageObject::messageWithDictionary(pf::Dictionary { { "__class", "Evil" }, { "text", "x" } }));
    EXPECT_FALSE(BPBaseMediaObject::mappedMediaObjectWithDictionary(pf::Dictionary { { "__class", "BPBaseMediaObject" } }));
    auto wrongTypes = BPMessageObject::messageWithDictionary(
        pf::Dictionary { { "__class", "BPMessageObject" }, { "text", 5 }, { "imageObject", "x" } });
    ASSERT_TRUE(wrongTypes);
    EXPECT_FALSE(wrongTypes->text);
    EXPECT_FALSE(wrongTypes->imageObject);

    EXPECT_EQ(BlipText::wordCount("ab c"), 2u);
    EXPECT_EQ(BlipText::wordCount("礼a"), 2u);
}

}

namespace {

TEST(BlipText, RangesCountUtf16UnitsAndTrimmingKnowsEveryScriptsBlanks)
{
    struct Case {
        std::string text;
        size_t location, length;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases {
        { "hello", 1, 3, "h-o" },
        { "礼包x", 1, 1, "礼-x" },
        { "a😀b", 1, 2, "a-b" },       // the emoji takes two units
        { "a😀b", 2, 1, std::nullopt }, // a bound inside it
        { "abc", 3, 0, "abc-" },
        { "abc", 2, 2, std::nullopt },  // past the end
        { "abc", 1, SIZE_MAX, std::nullopt },
    };
    for (const auto& c : cases)
        EXPECT_EQ(blip::BlipText::stringByReplacingRangeWith(c.text, c.location, c.length, "-"), c.expected) << c.text << " " << c.location;
    EXPECT_EQ(blip::BlipText::trimmedString(" \t\n\u3000礼 包\u00a0\r\n"), "礼 包");
    EXPECT_EQ(blip::BlipText::trimmedString("\u2028 \n"), "");
    EXPECT_EQ(blip::BlipText::trimmedString("x"), "x");
}

}

namespace {

TEST(BlipText, UrlEncodingEscapesAllButUnreservedCharactersInTheGivenEncoding)
{
    pf::TaskEnvironment env;
    using Charset = pf::TextEncoding::Charset;
    struct Case {
        const char* what;
        std::string text;
        Charset encoding;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases {
        { "separators, quotes, blanks and line ends", "a=,!$&'()*+;@?\n\"<>#\t :/%[]-_.~Z9", Charset::Utf8,
            "a%3D%2C%21%24%26%27%28%29%2A%2B%3B%40%3F%0A%22%3C%3E%23%09%20%3A%2F%25%5B%5D-_.~Z9" },
        { "UTF-8 bytes, the object-replacement character too", "礼\uFFFC", Charset::Utf8, "%E7%A4%BC%EF%BF%BC" },
        { "GB18030 bytes of two- and four-byte characters", "礼包 \uFFFC😀", Charset::GB18030, "%C0%F1%B0%FC%20%84%31%A4%36%94%39%FC%36" },
        { "a GB18030 byte in the ASCII range is escaped with its character", "丂@", Charset::GB18030, "%81%40%40" },
        { "text that is not UTF-8 is no text in either encoding", "a\xFF", Charset::GB18030, std::nullopt },
        { "a surrogate written as UTF-8", "\xED\xA0\x80", Charset::Utf8, std::nullopt },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BlipText::urlEncodedStringWithCFStringEncoding(c.text, c.encoding), c.expected) << c.what;
        if (c.encoding == Charset::Utf8) {
            EXPECT_EQ(BlipText::urlEncodedString(c.text), c.expected) << c.what;
        }
    }
}

}
