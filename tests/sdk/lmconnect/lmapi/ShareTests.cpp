#include "LMShareFixture.h"

#include "sdk/lmconnect/lmapi/GetMessageFromLMReq.h"
#include "sdk/lmconnect/lmapi/JSLMApi.h"
#include "sdk/lmconnect/lmapi/LMApiDatastore.h"
#include "sdk/lmconnect/lmapi/LMApiImageObject.h"
#include "sdk/lmconnect/lmapi/LMApiMessage.h"
#include "sdk/lmconnect/lmapi/LMApiShareCoder.h"
#include "sdk/lmconnect/lmapi/LMApiTaskUploadURLObjectPreviewData.h"
#include "sdk/lmconnect/lmapi/LMApiTextObject.h"
#include "sdk/lmconnect/lmapi/ShowMessageFromLMReq.h"
#include "sdk/lmconnect/host/MorrowScriptText.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/graphics/BitmapContext.h"
#include "tools/peers/LMConnectCgiService.h"
#include "tools/peers/LMPreviewService.h"
#include "tests/support/UnreadableRange.h"
#include "platform/foundation/Log.h"

#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

namespace {

struct DerivedShareReq : SendMessageToLMReq { };

std::string logText()
{
    std::ifstream in(pf::Sandbox::current()->documentsPath() + "/LMApi.log", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string asText(const pf::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST_F(LMShareTest, ANewsShareReachesTheLMAppWithItsPreviewAndTheAppsRecord)
{
    struct Case {
        int version;
        bool afterSignIn;
    };
    for (const Case c : { Case { 3, false }, Case { 2, false }, Case { 1, false }, Case { 3, true }, Case { 2, true } }) {
        SCOPED_TRACE(testing::Message() << "version " << c.version << (c.afterSignIn ? " after sign-in" : ""));
        LMApiDatastore::instance().clearApiLargeData();
        auto lm = peers::LMApp::install(c.version);
        pf::Bytes preview = jpeg();
        auto share = newsShare("礼包码", preview);
        if (c.afterSignIn) {
            // The app keeps the share and sends it when the sign-in through the LM app is done.
            delegate->calls.clear();
            delegate->results.clear();
            delegate->keptShare = share;
            lm->setAnswer(peers::LMApp::Answer::Token,
                pf::Dictionary { { "access_token", "TOK-1" }, { "openid", "OID-1" }, { "expires_in", "7776000" }, { "encrytoken", "E" } });
            ASSERT_TRUE(session->authorizeInSafari({ "get_user_info", "add_share" }, false));
            ASSERT_TRUE(env.runUntil([&] { return !delegate->calls.empty(); }));
            EXPECT_EQ(delegate->calls, std::vector<std::string> { "login" });
            EXPECT_EQ(delegate->results, std::vector<LMApiSendResultCode> { 0 });
            delegate->keptShare = nullptr;
        } else {
            EXPECT_EQ(LMApiInterface::sendReq(share), 0);
        }
        ASSERT_TRUE(env.runUntil([&] { return !lm->shares().empty(); }));
        auto got = lm->shares().back();
        EXPECT_TRUE(got.problems.empty()) << testing::PrintToString(got.problems);
        EXPECT_EQ(got.objectType, "LMApiNewsObject");
        EXPECT_EQ(got.fields["src"], kLMScheme);
        EXPECT_EQ(got.fields["title"], "礼包码");
        EXPECT_EQ(got.fields["description"], "领取你的礼包");
        EXPECT_EQ(got.fields["url"], "http://gifts.example/g/17");
        EXPECT_EQ(got.fields["message_type"], "5");
        EXPECT_EQ(got.fields["share_type"], "0");
        EXPECT_EQ(got.fields["app_name"], "礼包");
        EXPECT_FALSE(got.fields["key"].empty());
        EXPECT_FALSE(got.hasApiMessage);
        EXPECT_EQ(got.largeDataOnGeneral, c.version >= 3);
        ASSERT_TRUE(got.largeData);
        const pf::Value* staged = got.largeData->find("previewimagedata");
        ASSERT_TRUE(staged && staged->asData());
        EXPECT_EQ(*staged->asData(), preview);
        ASSERT_EQ(got.plugins.size(), 1u);
        EXPECT_EQ(got.plugins[0].scheme, kLMScheme);
        EXPECT_EQ(got.plugins[0].bundleIdentifier, pf::Bundle::main()->bundleIdentifier());
        EXPECT_EQ(got.plugins[0].displayName, "礼包");
        EXPECT_EQ(got.plugins[0].version, pf::Bundle::main()->version());
        EXPECT_EQ(got.plugins[0].iconNames, (std::vector<std::string> { "home.png", "icon_not_login.png" }));
        lm->uninstall();
    }
}

TEST_F(LMShareTest, RequestsThatCannotBeSentAreRefusedBeforeTheScriptAndWithoutAHostOrANumberFail)
{
    auto lm = peers::LMApp::install(3);
    auto pooled = [&] { return MROSDKJSBridge::shareInstance()->getPoolObject(MROSDKJSBridge::kShareMessageKey) != nullptr; };
    auto showReq = ShowMessageFromLMReq::reqWithContent(LMApiNewsObject::objectWithURL("http://g/1", "t", "d", jpeg()));
    auto derived = std::make_shared<DerivedShareReq>();
    derived->message = newsShare()->message;
    struct Case {
        const char* name;
        std::shared_ptr<LMBaseReq> req;
        LMApiSendResultCode expected;
    };
    const std::vector<Case> cases {
        { "nothing", nullptr, -1 },
        { "type 0", GetMessageFromLMReq::req(), -1 },
        { "type 2", showReq, -1 },
        { "a subclass", derived, -1 },
        { "no content", SendMessageToLMReq::reqWithContent(nullptr), 4 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LMApiInterface::sendReq(c.req), c.expected);
        EXPECT_FALSE(pooled()) << "the script was run";
    }
    env.runUntilIdle();
    EXPECT_TRUE(lm->shares().empty());

    // A script that answers no number has not shared: that is a failure, not "done".
    MROSDKJSBridge::shareInstance()->evaluateJavascript("morrow.share.shareMessageToLM = function () { return 'sent, probably'; };");
    EXPECT_EQ(LMApiInterface::sendReq(newsShare()), -1);
    MROSDKJSBridge::shareInstance()->evaluateJavascript("morrow.share.shareMessageToLM = function () { throw new Error('broken'); };");
    EXPECT_EQ(LMApiInterface::sendReq(newsShare()), -1);
    // Without a script host there is nobody to send it.
    session.reset();
    MROSDKJSBridge::deinit();
    EXPECT_EQ(LMApiInterface::sendReq(newsShare()), -1);
}

TEST_F(LMShareTest, OnlyAHostGivenTheShareCoderSharesAndTheSessionGivesItToEveryHostItMakes)
{
    // The host made anew before the eleventh authorisation is the session's too.
    auto first = MROSDKJSBridge::shareInstance();
    for (int call = 1; call <= 11; ++call)
        session->authorizeInSafari({ "get_user_info" }, false);
    auto host = MROSDKJSBridge::shareInstance();
    ASSERT_TRUE(host);
    ASSERT_NE(host, first);
    auto lm = peers::LMApp::install(3);
    EXPECT_EQ(LMApiInterface::sendReq(newsShare()), 0);
    ASSERT_TRUE(env.runUntil([&] { return lm->shares().size() == 1; }));

    // A request is sent as a message of type 5; other requests are no share.
    auto share = newsShare("礼包码 2");
    EXPECT_EQ(host->shareToLM(GetMessageFromLMReq::req()), "-1");
    EXPECT_EQ(host->shareToLM(share), "0");
    ASSERT_TRUE(env.runUntil([&] { return lm->shares().size() == 2; }));
    EXPECT_EQ(lm->shares().back().fields["title"], "礼包码 2");
    const std::any* parked = host->getPoolObject(MROSDKJSBridge::kShareMessageKey);
    auto message = parked ? std::any_cast<std::shared_ptr<LMApiMessage>>(parked) : nullptr;
    ASSERT_TRUE(message && *message);
    EXPECT_EQ((*message)->type, 5u);
    EXPECT_EQ((*message)->object, share->message);

    // Without the coder the host cannot describe a message: the script is not run.
    host->setShareCoder(nullptr);
    EXPECT_EQ(host->shareToLM(newsShare()), "-1");
    EXPECT_EQ(host->shareMessageToLM(LMApiMessage::messageWithObject(share->message)), "-1");
    EXPECT_EQ(LMApiInterface::sendReq(newsShare()), -1);
    env.runUntilIdle();
    EXPECT_EQ(lm->shares().size(), 2u);
}

TEST_F(LMShareTest, OpeningAnAddressAnswersWhatHappenedAndLogsFailures)
{
    auto lm = peers::LMApp::install(2);
    EXPECT_EQ(JSLMApi::js_openURL("mlmapi://share/LMApiNewsObject?title=x"), 0);
    EXPECT_EQ(JSLMApi::js_openURL("not an address"), 5);
    EXPECT_NE(logText().find("-LMAPI- JSLMApi.cpp:"), std::string::npos);
    EXPECT_NE(logText().find("param error: illegal object param\n"), std::string::npos);
    EXPECT_EQ(JSLMApi::js_openURL("nobodys-scheme://x/y"), -1);
    EXPECT_NE(logText().find("unable to open url:nobodys-scheme://x/y\n"), std::string::npos);
    env.runUntilIdle();
    EXPECT_EQ(lm->shares().size(), 1u);
}

TEST_F(LMShareTest, TheSharePageOpensOnlyOnADeviceThatMultitasks)
{
    auto lm = peers::LMApp::install(2);
    const std::string page = "mlmapi://share/LMApiNewsObject?title=x";
    struct Case {
        bool multitasking;
        std::string url;
        const char* answer;
    };
    const Case cases[] = { { true, page, "0" }, { false, page, "1" }, { true, "nobodys-scheme://x/y", "1" }, { true, "not an address", "1" } };
    auto host = MROSDKJSBridge::shareInstance();
    ASSERT_TRUE(host);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url + (c.multitasking ? "" : " without multitasking"));
        pf::Device::current().setMultitaskingSupported(c.multitasking);
        EXPECT_EQ(host->evaluateJavascript("nativeApi.openH5LM(" + MorrowScriptText::literal(c.url) + ")"), c.answer);
    }
    env.runUntilIdle();
    EXPECT_EQ(lm->shares().size(), 1u) << "only the device that multitasks opened the page";
}

TEST_F(LMShareTest, TheLimitsOfAShareAndTheirLogLines)
{
    auto host = MROSDKJSBridge::shareInstance();
    const std::string url = "http://gifts.example/g/";
    auto news = [&](size_t title, size_t description, size_t preview, size_t address) {
        auto object = LMApiNewsObject::objectWithURL(url + std::string(address - url.size(), 'a'), std::string(title, 'T'),
            std::string(description, 'd'), pf::Bytes(preview, 1));
        return LMApiMessage::messageWithObject(object);
    };
    auto image = [&](size_t data, size_t preview) {
        return LMApiMessage::messageWithObject(
            LMApiExtendObject::objectWithData<LMApiImageObject>(pf::Bytes(data, 2), pf::Bytes(preview, 1), "t", "d"));
    };
    struct Case {
        const char* name;
        std::shared_ptr<LMApiMessage> message;
        std::string (*check)();
        std::string expected;
        const char* logLine; // for a failure
    };
    auto message = &JSLMApi::js_checkLMApiURLMessage;
    auto text = LMApiTextObject::objectWithText("x");
    text->title = "t";
    auto textMessage = LMApiMessage::messageWithObject(text);
    auto img = [] { return JSLMApi::js_isLargeDataLengthLegal("img"); };
    auto url_ = [] { return JSLMApi::js_isLargeDataLengthLegal("url"); };
    const std::vector<Case> cases {
        { "title 128", news(128, 10, 10, 40), message, "YES", nullptr },
        { "title 129", news(129, 10, 10, 40), message, "NO", "param error: title is too long" },
        { "description 512", news(10, 512, 10, 40), message, "YES", nullptr },
        { "description 513", news(10, 513, 10, 40), message, "NO", "param error: description is too long" },
        { "preview 1 MiB", news(10, 10, 1048576, 40), message, "YES", nullptr },
        { "preview 1 MiB + 1", news(10, 10, 1048577, 40), message, "NO", "param error: preview image data is too big" },
        { "preview 1 MiB + 1, url kind", news(10, 10, 1048577, 40), url_, "NO", "param error: preview image data is too big" },
        { "address 512", news(10, 10, 10, 512), message, "YES", nullptr },
        { "address 513", news(10, 10, 10, 513), message, "NO", "param error: url is too long" },
        { "no title", news(0, 10, 10, 40), message, "NO", "param error: title is nil" },
        { "no address", textMessage, message, "NO", "param error: url is nil" },
        { "img 5 MiB", image(5242880, 10), img, "YES", nullptr },
        { "img 5 MiB + 1", image(5242881, 10), img, "NO", "param error: image data is too big" },
        { "img empty", image(0, 10), img, "NO", "param error: image data is nil" },
        { "img preview too big", image(10, 1048577), img, "NO", "param error: preview image data is too big" },
        { "nothing pending", nullptr, message, "NO", "param error: object is nil" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host->setPoolObject(MROSDKJSBridge::kShareMessageKey, c.message);
        size_t before = logText().size();
        EXPECT_EQ(c.check(), c.expected);
        std::string written = logText().substr(before);
        if (c.logLine)
            EXPECT_NE(written.find(std::string(c.logLine) + "\n"), std::string::npos) << written;
        else
            EXPECT_EQ(written, "");
    }
    // A title counts UTF-16 units: 128 characters outside the basic plane are 256 units.
    std::string wide;
    for (int i = 0; i < 128; ++i)
        wide += "\xF0\x9F\x8E\x81";
    auto gift = news(10, 10, 10, 40);
    gift->object->title = wide;
    host->setPoolObject(MROSDKJSBridge::kShareMessageKey, gift);
    EXPECT_EQ(JSLMApi::js_checkLMApiURLMessage(), "NO");
}

TEST_F(LMShareTest, APreviewGivenOnlyAsAnAddressIsFetchedFirstAndTheShareAlwaysGoesOn)
{
    auto lm = peers::LMApp::install(3);
    auto pictures = server.service<peers::LMPreviewService>();
    pf::Bytes picture = jpeg(20, 10);
    pictures->putPicture("gift.jpg", asText(picture));
    pictures->putPicture("page.html", "<html><body>moved</body></html>", "text/html");
    // A real picture, but longer than any preview may be.
    pf::Image noise(1024, 1024);
    std::uint32_t seed = 1;
    for (auto& pixel : noise.pixels())
        pixel = 0xFF000000u | ((seed = seed * 1664525u + 1013904223u) >> 8);
    pf::Bytes huge = noise.jpegData(1.0);
    ASSERT_GT(huge.size(), 1048576u);
    pictures->putPicture("huge.jpg", asText(huge));
    auto byAddress = [&](const std::string& path) {
        return SendMessageToLMReq::reqWithContent(
            LMApiNewsObject::objectWithURL("http://gifts.example/g/17", "礼包码", "领取", server.url("lmpreview/" + path)));
    };
    auto preview = [](const peers::LMApp::Share& share) -> std::optional<pf::Bytes> {
        const pf::Value* value = share.largeData ? share.largeData->find("previewimagedata") : nullptr;
        return value && value->asData() ? std::optional<pf::Bytes>(*value->asData()) : std::nullopt;
    };
    struct Case {
        const char* name;
        std::vector<std::string> paths;
        bool holdPastTimeout;
        std::vector<std::optional<pf::Bytes>> previews;
    };
    const std::vector<Case> cases {
        { "a picture", { "gift.jpg" }, false, { picture } },
        { "no picture", { "page.html" }, false, { std::nullopt } },
        { "not found", { "missing.jpg" }, false, { std::nullopt } },
        { "too long", { "huge.jpg" }, false, { std::nullopt } },
        { "stays out", { "gift.jpg?delay=30" }, true, { std::nullopt } },
        { "two in a row", { "gift.jpg", "page.html" }, false, { picture, std::nullopt } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        size_t before = lm->shares().size();
        server.clearRequests();
        LMApiDatastore::instance().clearApiLargeData();
        for (const auto& path : c.paths)
            EXPECT_EQ(LMApiInterface::sendReq(byAddress(path)), 7);
        EXPECT_EQ(lm->shares().size(), before) << "nothing is sent before the preview is fetched";
        if (c.holdPastTimeout) {
            ASSERT_TRUE(env.runUntil([&] { return !server.requests("/lmpreview/").empty(); }));
            env.fastForwardBy(4.9);
            EXPECT_EQ(lm->shares().size(), before);
            env.fastForwardBy(0.1);
        }
        ASSERT_TRUE(env.runUntil([&] { return lm->shares().size() >= before + c.paths.size(); }));
        env.runUntilIdle();
        auto shares = lm->shares();
        ASSERT_EQ(shares.size(), before + c.paths.size()) << "each share is sent once";
        for (size_t i = 0; i < c.paths.size(); ++i) {
            const auto& got = shares[before + i];
            EXPECT_TRUE(got.problems.empty()) << testing::PrintToString(got.problems);
            EXPECT_EQ(got.fields.at("image_url"), server.url("lmpreview/" + c.paths[i]));
            EXPECT_EQ(preview(got), c.previews[i]);
        }
        EXPECT_EQ(server.requests("/lmpreview/").size(), c.paths.size()) << "fetched once";
        // The message is marked: its script pass goes on at once.
        EXPECT_EQ(JSLMApi::js_resendUrlObjectSyncShare(), 123);
    }
    // A share that carries bytes goes on at once even when it also names an address.
    auto both = LMApiNewsObject::objectWithURL("http://g/1", "t", "d", jpeg());
    both->previewImageURL = server.url("lmpreview/gift.jpg");
    MROSDKJSBridge::shareInstance()->setPoolObject(MROSDKJSBridge::kShareMessageKey, LMApiMessage::messageWithObject(both));
    EXPECT_EQ(JSLMApi::js_resendUrlObjectSyncShare(), 123);
}

TEST_F(LMShareTest, TheUploadPostsAThumbnailAndTakesTheAnsweredAddress)
{
    auto lm = peers::LMApp::install(2);
    pf::Bytes big = jpeg(1000, 500);
    auto object = LMApiNewsObject::objectWithURL("http://gifts.example/g/3", "礼包", "领取", big);
    auto message = LMApiMessage::messageWithObject(object);
    std::make_shared<LMApiTaskUploadURLObjectPreviewData>(message)->postOnMainThread();
    ASSERT_TRUE(env.runUntil([&] { return !lm->shares().empty(); }));
    auto uploads = server.service<peers::LMConnectCgiService>()->uploadedPictures();
    ASSERT_EQ(uploads.size(), 1u);
    auto thumbnail = pf::Image::decode(pf::Bytes(uploads[0].begin(), uploads[0].end()));
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->pixelWidth(), 140);
    EXPECT_EQ(thumbnail->pixelHeight(), 140);
    EXPECT_EQ(object->previewImageURL, server.url("lmcgi/lmconnectopen/shared/0.jpg"));
    EXPECT_EQ(lm->shares()[0].fields["image_url"], object->previewImageURL);
    EXPECT_TRUE(message->isAssociatedWithTask());

    // A preview that is no picture is dropped and the share goes on without it.
    auto broken = LMApiNewsObject::objectWithURL("http://gifts.example/g/4", "礼包", "领取", pf::Bytes { 1, 2, 3 });
    std::make_shared<LMApiTaskUploadURLObjectPreviewData>(LMApiMessage::messageWithObject(broken))->postOnMainThread();
    ASSERT_TRUE(env.runUntil([&] { return lm->shares().size() == 2; }));
    EXPECT_TRUE(broken->previewImageData.empty());
    EXPECT_EQ(server.service<peers::LMConnectCgiService>()->uploadedPictures().size(), 1u);
}

}

// Scripts found damaged when a session loads them are said in the log and installed again at
// once from the app's own archive, so a share goes through; a read of one that fails once is
// made again, and nothing is installed again. A folder at a script's name is not the app's: it
// stays, with what it holds, beside the scripts put right.
TEST_F(LMShareTest, DamagedScriptsAreSetRightBeforeTheShare)
{
    const std::string folder = pf::FileManager::join(pf::Sandbox::current()->libraryPath(), "caches/finaljs");
    const std::string init = pf::FileManager::join(folder, "init.js");
    std::optional<testsupport::UnreadableRange> failingOnce;
    struct Case {
        const char* what;
        std::function<void()> damage;
        const char* said; // null: nothing is installed again
    };
    const Case cases[] = {
        { "garbage in init.js", [&] { pf::FileManager::writeAtomically(init, std::string_view("\x01garbage")); },
            "init.js does not match its listed hash" },
        { "a zero-length signature", [&] { pf::FileManager::writeAtomically(folder + "/verify.signature", std::string_view()); },
            "verify.signature does not verify" },
        { "garbage in the signed list", [&] { pf::FileManager::writeAtomically(folder + "/verify.json", std::string_view("{not json")); },
            "verify.signature does not verify" },
        { "one read of init.js failing", [&] { failingOnce.emplace(init, 0, *pf::FileManager::size(init), 1, EIO); }, nullptr },
        { "a folder at services.js", [&] {
             pf::FileManager::removeFile(folder + "/services.js");
             pf::FileManager::createDirectory(folder + "/services.js/album", true);
             pf::FileManager::writeAtomically(folder + "/services.js/photo.jpg", std::string_view("jpeg"));
         },
            "services.js cannot be read (a folder lies there)" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        session.reset();
        MROSDKJSBridge::deinit();
        c.damage();
        pf::Log::startCapture();
        session = MorrowOAuth::initWithAppIdAndDelegate(kAppId, delegate);
        EXPECT_EQ(pf::Log::contains("the shipped scripts are installed again"), c.said != nullptr);
        if (c.said) {
            EXPECT_TRUE(pf::Log::contains(c.said));
        }
        pf::Log::stopCapture();
        failingOnce.reset();

        auto lm = peers::LMApp::install(3);
        EXPECT_EQ(LMApiInterface::sendReq(newsShare()), 0);
        ASSERT_TRUE(env.runUntil([&] { return !lm->shares().empty(); }));
        auto got = lm->shares().back();
        EXPECT_EQ(got.fields["title"], "礼包码");
        lm->uninstall();
    }
    // The folder stays where the replaced scripts went, with all it holds.
    EXPECT_EQ(pf::FileManager::enumerate(folder + ".old"), (std::vector<std::string> { "services.js", "services.js/album", "services.js/photo.jpg" }));
}
