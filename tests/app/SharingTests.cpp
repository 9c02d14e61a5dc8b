#include "AppWorld.h"

#include "app/CommandInterpreter.h"
#include "core/ContentFetcher.h"
#include "core/PlatformInfo.h"
#include "core/managers/SharingManager.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/Image.h"
#include "platform/testing/TestHttpServer.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Driver.h"
#include "sdk/lmconnect/lmapi/LMApi.h"
#include "platform/ui/NavigationController.h"
#include "screens/gifts/GiftDetailViewController.h"
#include "screens/menu/RootViewController.h"
#include "tools/peers/apps/BlipApp.h"
#include "tools/peers/apps/LMApp.h"
#include "tools/peers/apps/ParleyApp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <sstream>

namespace {

std::string text(const pf::Value& value)
{
    return value.asString() ? *value.asString() : "";
}

size_t bytes(const pf::Value& value)
{
    return value.asData() ? value.asData()->size() : 0;
}

std::string joined(const std::vector<std::string>& names)
{
    std::string out;
    for (auto& name : names)
        out += (out.empty() ? "" : ",") + name;
    return out;
}

// The picture server's answer: the bytes as a PNG.
pf::TestHttpServer::Response pngReply(std::string body)
{
    pf::TestHttpServer::Response response;
    response.body = std::move(body);
    response.contentType = "image/png";
    return response;
}

// A picture of noise: its JPEG does not shrink much, so a large one is far above Parley's limit.
pf::Bytes noisePicture(int side)
{
    pf::Image image(side, side);
    std::mt19937 random(7);
    for (auto& p : image.pixels())
        p = 0xFF000000u | (random() & 0xFFFFFFu);
    return image.pngData();
}

std::shared_ptr<GiftDetailInfo> gift(int fid, const std::string& title, const std::string& litpic)
{
    auto g = std::make_shared<GiftDetailInfo>();
    g->setFid(fid);
    g->setTitle(title);
    g->setArcurl("http://portal.test/gift/" + std::to_string(fid) + ".html");
    g->setLitpic(litpic);
    return g;
}

struct SharingWorld : AppWorld {
    // `catalog`, when given, changes the portal's sample data before the app's first request;
    // `systemVersion` is the device's from the launch on, as `--system-version` sets it.
    explicit SharingWorld(const std::function<void(portal::PortalCatalog&)>& catalog = {}, const std::string& systemVersion = "7.0")
    {
        if (catalog)
            portal.service().editCatalog(catalog);
        pf::Device::current().setSystemVersion(systemVersion);
        launch();
        settle();
        apps.lm()->setAnswer(peers::LMApp::Answer::Token,
            pf::Dictionary { { "access_token", "TOK" }, { "openid", "OID" }, { "expires_in", 7776000 } });
    }
    std::shared_ptr<SharingManager> manager() { return SharingManager::sharedInstance(); }
    // Closes the update box and opens the list's first gift, as a person would; none when a
    // step fails (the failure is reported).
    std::shared_ptr<GiftDetailViewController> openFirstGift(CommandInterpreter& interpreter, const std::ostringstream& out)
    {
        for (const char* line : { "tap \"以后再说\"", "tap row 0", "wait 0.5", "idle" }) {
            if (!interpreter.execute(line)) {
                ADD_FAILURE() << line << ": " << out.str();
                return nullptr;
            }
        }
        auto navigation = std::dynamic_pointer_cast<pf::NavigationController>(delegate->rootViewController()->rootViewController());
        return std::dynamic_pointer_cast<GiftDetailViewController>(navigation->topViewController());
    }
    // The Blip share requests received (the authorisations left out).
    std::vector<peers::BlipApp::Received> blipShares() const
    {
        std::vector<peers::BlipApp::Received> shares;
        for (auto& r : apps.blip()->received()) {
            if (r.object && text(pf::Value(*r.object)["__class"]) == "BPSendMessageToBlipRequest")
                shares.push_back(r);
        }
        return shares;
    }
};

}

TEST(Sharing, EachRowOfTheSheetHandsTheGiftToItsApp)
{
    SharingWorld world;
    std::ostringstream out;
    CommandInterpreter interpreter(out);
    auto detail = world.openFirstGift(interpreter, out);
    ASSERT_TRUE(detail && detail->giftDetailInfo());
    auto shown = detail->giftDetailInfo();
    auto picture = ContentFetcher::fetchContentsOfAddress(shown->litpic().text());
    ASSERT_TRUE(picture);

    struct Row {
        std::string title;
        std::string scene; // Parley's, when the row goes to Parley
    };
    for (const Row& row : std::vector<Row> { { "派聊", "0" }, { "动态圈", "1" }, { "LM空间", "" }, { "闪讯", "" } }) {
        SCOPED_TRACE(row.title);
        ASSERT_TRUE(interpreter.execute("tap image \"share.png\"")) << out.str();
        auto sheet = detail->sharingListView();
        ASSERT_TRUE(sheet && !sheet->isHidden());
        EXPECT_TRUE(pf::Driver().findByText("分享  " + shown->title().text()));
        ASSERT_TRUE(interpreter.execute("tap \"" + row.title + "\"")) << out.str();
        EXPECT_TRUE(sheet->isHidden());
        world.settle();
    }

    auto parley = world.apps.parley()->received();
    ASSERT_EQ(parley.size(), 2u);
    for (size_t i = 0; i < parley.size(); ++i) {
        const auto& record = parley[i].record;
        EXPECT_TRUE(parley[i].problems.empty()) << testing::PrintToString(parley[i].problems);
        EXPECT_EQ(text(pf::Value(record)["scene"]), i == 0 ? "0" : "1");
        EXPECT_EQ(text(pf::Value(record)["title"]), shown->title().text());
        EXPECT_EQ(text(pf::Value(record)["description"]), shown->shareText());
        EXPECT_EQ(text(pf::Value(record)["mediaUrl"]), shown->arcurl().text());
        EXPECT_GT(bytes(pf::Value(record)["thumbData"]), 0u);
        EXPECT_LE(bytes(pf::Value(record)["thumbData"]), GiftDetailInfo::kMaxThumbBytes);
    }
    EXPECT_EQ(shown->shareText(), "我在#Quorvane#发现了" + shown->title().text() + "礼包，玩手机游戏，妈妈再也不用当心我找不到礼包了"
            + shown->arcurl().text());

    auto signIns = world.apps.lm()->received();
    ASSERT_EQ(signIns.size(), 1u);
    ASSERT_TRUE(signIns[0].request);
    EXPECT_EQ(text(pf::Value(*signIns[0].request)["scope"]), joined(SharingManager::lmPermissions()));
    auto lmShares = world.apps.lm()->shares();
    ASSERT_EQ(lmShares.size(), 1u);
    EXPECT_TRUE(lmShares[0].problems.empty()) << testing::PrintToString(lmShares[0].problems);
    EXPECT_EQ(lmShares[0].objectType, "LMApiNewsObject");
    EXPECT_EQ(lmShares[0].fields["title"], shown->title().text());
    EXPECT_EQ(lmShares[0].fields["description"], shown->shareText());
    EXPECT_EQ(lmShares[0].fields["url"], shown->arcurl().text());
    ASSERT_TRUE(lmShares[0].largeData);
    EXPECT_EQ(bytes(pf::Value(*lmShares[0].largeData)["previewimagedata"]), picture->size());

    auto blip = world.apps.blip()->received();
    ASSERT_EQ(blip.size(), 2u);
    for (auto& r : blip)
        EXPECT_TRUE(r.problems.empty()) << testing::PrintToString(r.problems);
    ASSERT_TRUE(blip[0].object && blip[1].object);
    EXPECT_EQ(text(pf::Value(*blip[0].object)["__class"]), "BPAuthorizeRequest");
    EXPECT_EQ(text(pf::Value(*blip[0].object)["redirectURI"]), AppInfoConfiguration::sharedInstance()->homePageURL());
    EXPECT_EQ(text(pf::Value(*blip[0].object)["scope"]), "all");
    EXPECT_EQ(blip[0].userInfo, SharingManager::blipAuthorizeUserInfo());
    EXPECT_EQ(text(pf::Value(*blip[1].object)["__class"]), "BPSendMessageToBlipRequest");
    const pf::Value message = pf::Value(*blip[1].object)["message"];
    EXPECT_EQ(text(message["text"]), shown->shareText());
    EXPECT_EQ(bytes(message["imageObject"]["imageData"]), picture->size());
    EXPECT_EQ(blip[1].userInfo, SharingManager::blipShareUserInfo());
    EXPECT_FALSE(world.manager()->pendingBlipShare());
    EXPECT_FALSE(world.manager()->pendingLzoneShare());

    // A tap on the grey outside the list only hides the sheet.
    ASSERT_TRUE(interpreter.execute("tap image \"share.png\""));
    pf::Driver().tapAt({ 20, 400 });
    pf::Driver().settle();
    world.settle();
    EXPECT_TRUE(detail->sharingListView()->isHidden());
    EXPECT_EQ(world.apps.parley()->received().size(), 2u);
    EXPECT_EQ(world.apps.blip()->received().size(), 2u);
}

// JSON lets the portal send a NUL ("\u0000"), which none of the apps' stored messages can hold:
// every app still receives the gift, with the text on both sides of the NUL.
TEST(Sharing, ATitleHoldingANulReachesEveryAppWithoutIt)
{
    const std::string title = std::string("X") + '\0' + "Y";
    SharingWorld world([&](portal::PortalCatalog& catalog) {
        auto first = std::find_if(catalog.gifts.begin(), catalog.gifts.end(), [](const auto& g) { return g.category == 0; });
        first->title = title;
    });
    std::ostringstream out;
    CommandInterpreter interpreter(out);
    auto detail = world.openFirstGift(interpreter, out);
    ASSERT_TRUE(detail && detail->giftDetailInfo());
    ASSERT_EQ(detail->giftDetailInfo()->title().text(), title);
    for (const char* row : { "派聊", "动态圈", "LM空间", "闪讯" }) {
        SCOPED_TRACE(row);
        ASSERT_TRUE(interpreter.execute("tap image \"share.png\"")) << out.str();
        ASSERT_TRUE(interpreter.execute(std::string("tap \"") + row + "\"")) << out.str();
        world.settle();
    }
    const std::string arcurl = detail->giftDetailInfo()->arcurl().text();
    const std::string shareText = "我在#Quorvane#发现了XY礼包，玩手机游戏，妈妈再也不用当心我找不到礼包了" + arcurl;

    auto parley = world.apps.parley()->received();
    EXPECT_EQ(parley.size(), 2u);
    for (const auto& r : parley) {
        EXPECT_TRUE(r.problems.empty()) << testing::PrintToString(r.problems);
        EXPECT_EQ(text(pf::Value(r.record)["title"]), "XY");
        EXPECT_EQ(text(pf::Value(r.record)["description"]), shareText);
    }
    auto lm = world.apps.lm()->shares();
    ASSERT_EQ(lm.size(), 1u);
    EXPECT_TRUE(lm[0].problems.empty()) << testing::PrintToString(lm[0].problems);
    EXPECT_EQ(lm[0].fields["title"], "XY");
    EXPECT_EQ(lm[0].fields["description"], shareText);
    auto blip = world.blipShares();
    ASSERT_EQ(blip.size(), 1u);
    EXPECT_TRUE(blip[0].problems.empty()) << testing::PrintToString(blip[0].problems);
    EXPECT_EQ(text(pf::Value(*blip[0].object)["message"]["text"]), shareText);
}

TEST(Sharing, ThePictureIsFetchedSafelyAndTheMessagesCarryOnlyWhatCame)
{
    SharingWorld world;
    // The pictures outlive the server: a server thread may still answer a fetch the app gave up.
    auto small = noisePicture(40);
    auto large = noisePicture(500);
    pf::TestHttpServer pictures;
    pictures.on("GET", "/small.png", [&](const auto&) { return pngReply(std::string(small.begin(), small.end())); });
    pictures.on("GET", "/large.png", [&](const auto&) { return pngReply(std::string(large.begin(), large.end())); });
    pictures.reply("GET", "/missing.png", 404, "not here");
    pictures.on("GET", "/huge.png", [](const auto&) {
        return pngReply(std::string(SharingManager::kPictureMaxBytes + 1, 'x'));
    });
    ASSERT_GT(pf::Image::decode(large)->jpegData(0.6).size(), GiftDetailInfo::kMaxThumbBytes);
    ASSERT_LT(large.size(), SharingManager::kPictureMaxBytes);

    struct Case {
        std::string name;
        std::string litpic;
        std::optional<size_t> pictureBytes; // what the Blip and LM messages carry
        bool thumbnail;
    };
    const std::vector<Case> cases {
        { "a small picture", pictures.url("/small.png"), small.size(), true },
        // Too large for Parley as it is: made smaller until it fits, and the share goes through.
        { "a large picture", pictures.url("/large.png"), large.size(), true },
        // Nothing came: no picture anywhere, and above all no empty image object for Blip.
        { "a missing picture", pictures.url("/missing.png"), std::nullopt, false },
        { "a picture above the size limit", pictures.url("/huge.png"), std::nullopt, false },
        { "a local file", "file:///etc/passwd", std::nullopt, false },
        { "an address of another scheme", "ftp://127.0.0.1/small.png", std::nullopt, false },
        { "no address", "", std::nullopt, false },
    };
    int fid = 100;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        size_t parleyBefore = world.apps.parley()->received().size();
        size_t blipBefore = world.blipShares().size();
        size_t lmBefore = world.apps.lm()->shares().size();
        ++fid;
        auto shared = gift(fid, "礼包" + std::to_string(fid), c.litpic);
        // One at a time, as a person shares: Parley and Blip both stage on the general pasteboard.
        world.manager()->sharingWithParley({ shared }, SharingManager::kParleySessionShareType, SharingManager::kGiftDetailDataType);
        world.settle();
        world.manager()->sharingWithBlip({ shared }, SharingManager::kGiftDetailDataType);
        world.settle();
        world.manager()->sharingWithLzone({ shared }, SharingManager::kGiftDetailDataType);
        world.settle();

        auto parley = world.apps.parley()->received();
        ASSERT_EQ(parley.size(), parleyBefore + 1);
        EXPECT_TRUE(parley.back().problems.empty()) << testing::PrintToString(parley.back().problems);
        EXPECT_EQ(text(pf::Value(parley.back().record)["title"]), shared->title().text());
        size_t thumb = bytes(pf::Value(parley.back().record)["thumbData"]);
        EXPECT_EQ(thumb > 0, c.thumbnail);
        EXPECT_LE(thumb, GiftDetailInfo::kMaxThumbBytes);

        auto blip = world.blipShares();
        ASSERT_EQ(blip.size(), blipBefore + 1);
        const pf::Value message = pf::Value(*blip.back().object)["message"];
        EXPECT_EQ(text(message["text"]), shared->shareText());
        EXPECT_EQ(message["imageObject"].isDictionary(), c.pictureBytes.has_value());
        EXPECT_EQ(bytes(message["imageObject"]["imageData"]), c.pictureBytes.value_or(0));

        auto lm = world.apps.lm()->shares();
        ASSERT_EQ(lm.size(), lmBefore + 1);
        EXPECT_EQ(lm.back().fields["title"], shared->title().text());
        size_t preview = lm.back().largeData ? bytes(pf::Value(*lm.back().largeData)["previewimagedata"]) : 0;
        EXPECT_EQ(preview, c.pictureBytes.value_or(0));
    }
    for (auto& request : pictures.requests())
        EXPECT_NE(request.path, "/etc/passwd");
}

// The LM Connect session registers its scripts' objects, which sign in for the share, at once
// from system 5 on, and on system 4 once its hidden page has loaded: the first share of a launch,
// asked for before that, signs in when the page is there. A version whose major number is too
// large for an int is as recent as any, and LZone gets the sign-in and the share as on 7.0.
TEST(Sharing, AnLZoneShareSignsInAndReachesLMOnEverySystemVersion)
{
    for (const char* version : { "7.0", "6.1", "5.0", "4.3", "4.0", "4.3.5", "99999999999" }) {
        SCOPED_TRACE(version);
        SharingWorld world({}, version);
        world.manager()->sharingWithLzone({ gift(701, "空间礼包", "") }, SharingManager::kGiftDetailDataType);
        world.settle();
        auto signIns = world.apps.lm()->received();
        ASSERT_EQ(signIns.size(), 1u);
        ASSERT_TRUE(signIns[0].request);
        EXPECT_EQ(text(pf::Value(*signIns[0].request)["scope"]), joined(SharingManager::lmPermissions()));
        auto shares = world.apps.lm()->shares();
        ASSERT_EQ(shares.size(), 1u);
        EXPECT_TRUE(shares[0].problems.empty()) << testing::PrintToString(shares[0].problems);
        EXPECT_EQ(shares[0].fields["title"], "空间礼包");
    }
}

TEST(Sharing, APictureAboveLMsPreviewLimitIsMadeSmallerForItsShare)
{
    SharingWorld world;
    // Fetched (below the fetch limit) but above what LM takes as a preview.
    auto picture = noisePicture(640);
    const std::string notAPicture(LMApi::kPreviewLimit + 300 * 1024, 'x');
    pf::TestHttpServer pictures;
    pictures.on("GET", "/big.png", [&](const auto&) { return pngReply(std::string(picture.begin(), picture.end())); });
    pictures.on("GET", "/big.bin", [&](const auto&) { return pngReply(notAPicture); });
    for (size_t size : { picture.size(), notAPicture.size() }) {
        ASSERT_GT(size, LMApi::kPreviewLimit);
        ASSERT_LT(size, SharingManager::kPictureMaxBytes);
    }

    // A picture goes as a smaller JPEG of the same shape; bytes that are no picture go
    // without a preview.
    int fid = 600;
    for (bool isPicture : { true, false }) {
        SCOPED_TRACE(isPicture);
        size_t before = world.apps.lm()->shares().size();
        world.manager()->sharingWithLzone({ gift(++fid, "大图礼包", pictures.url(isPicture ? "/big.png" : "/big.bin")) },
            SharingManager::kGiftDetailDataType);
        world.settle();
        auto shares = world.apps.lm()->shares();
        ASSERT_EQ(shares.size(), before + 1) << "LM refused the share";
        EXPECT_TRUE(shares.back().problems.empty()) << testing::PrintToString(shares.back().problems);
        const pf::Value preview = shares.back().largeData ? pf::Value(*shares.back().largeData)["previewimagedata"] : pf::Value();
        ASSERT_EQ(preview.asData() != nullptr, isPicture);
        if (!isPicture)
            continue;
        EXPECT_LE(preview.asData()->size(), LMApi::kPreviewLimit);
        auto image = pf::Image::decode(*preview.asData());
        ASSERT_TRUE(image);
        EXPECT_EQ(image->pixelWidth(), image->pixelHeight());
    }
}

TEST(Sharing, TheScreenGoesOnWhileThePictureIsOnItsWay)
{
    SharingWorld world;
    auto small = noisePicture(40); // outlives the server, whose thread reads it
    pf::TestHttpServer pictures;
    pictures.on("GET", "/slow.png", [&](const auto&) {
        auto response = pngReply(std::string(small.begin(), small.end()));
        response.hold = true;
        return response;
    });
    auto shared = gift(300, "慢图礼包", pictures.url("/slow.png"));
    world.manager()->sharingWithParley({ shared }, SharingManager::kParleyTimelineShareType, SharingManager::kGiftDetailDataType);
    // The share has returned and the loop turns: timers fire, the screen answers, nothing is sent yet.
    ASSERT_TRUE(world.env.runUntil([&] { return pictures.requestCount() == 1; }));
    bool fired = false;
    pf::RunLoop::main().postDelayed(1.0, [&] { fired = true; });
    world.env.fastForwardBy(2.0);
    EXPECT_TRUE(fired);
    EXPECT_TRUE(world.apps.parley()->received().empty());

    pictures.releaseHeld();
    world.settle();
    auto parley = world.apps.parley()->received();
    ASSERT_EQ(parley.size(), 1u);
    EXPECT_EQ(text(pf::Value(parley[0].record)["scene"]), "1");
    EXPECT_GT(bytes(pf::Value(parley[0].record)["thumbData"]), 0u);
}

TEST(Sharing, APendingShareGoesOnceAndTheLatestOfItsKindWins)
{
    SharingWorld world;
    // Two LZone shares before the first authorisation has come back: both authorise, the
    // second gift is the one shared, and only once.
    world.manager()->sharingWithLzone({ gift(401, "第一个礼包", "") }, SharingManager::kGiftDetailDataType);
    world.manager()->sharingWithLzone({ gift(402, "第二个礼包", "") }, SharingManager::kGiftDetailDataType);
    world.settle();
    EXPECT_EQ(world.apps.lm()->received().size(), 2u);
    auto shares = world.apps.lm()->shares();
    ASSERT_EQ(shares.size(), 1u);
    EXPECT_EQ(shares[0].fields["title"], "第二个礼包");
    EXPECT_FALSE(world.manager()->pendingLzoneShare());

    // A cancelled authorisation shares nothing; the gift stays pending until a share replaces it
    // or an authorisation comes back.
    world.apps.lm()->setAnswer(peers::LMApp::Answer::Cancel);
    world.manager()->sharingWithLzone({ gift(403, "取消的礼包", "") }, SharingManager::kGiftDetailDataType);
    world.settle();
    EXPECT_EQ(world.apps.lm()->shares().size(), 1u);

    // The next authorisation sends it, and the one after that nothing.
    world.manager()->morrowDidLogin();
    world.settle();
    world.manager()->morrowDidLogin();
    world.settle();
    shares = world.apps.lm()->shares();
    ASSERT_EQ(shares.size(), 2u);
    EXPECT_EQ(shares[1].fields["title"], "取消的礼包");

    // Blip and LZone keep their pending shares apart.
    world.apps.blip()->setAnswer(std::nullopt);
    world.manager()->sharingWithBlip({ gift(404, "闪讯礼包", "") }, SharingManager::kGiftDetailDataType);
    world.settle();
    world.apps.lm()->setAnswer(peers::LMApp::Answer::Token,
        pf::Dictionary { { "access_token", "TOK" }, { "openid", "OID" }, { "expires_in", 7776000 } });
    world.manager()->sharingWithLzone({ gift(405, "空间礼包", "") }, SharingManager::kGiftDetailDataType);
    world.settle();
    EXPECT_EQ(world.apps.lm()->shares().back().fields["title"], "空间礼包");
    ASSERT_TRUE(world.manager()->pendingBlipShare());
    EXPECT_EQ(world.manager()->pendingBlipShare()->items.front()->title().text(), "闪讯礼包");
}

TEST(Sharing, ADataTypeOtherThanAGiftSharesAnEmptyMessage)
{
    SharingWorld world;
    pf::Log::startCapture();
    auto shared = gift(501, "不分享的礼包", "");
    const int otherType = 12;
    world.manager()->sharingWithParley({ shared }, SharingManager::kParleySessionShareType, otherType);
    world.settle();
    world.manager()->sharingWithBlip({ shared }, otherType);
    world.settle();
    world.manager()->sharingWithLzone({ shared }, otherType);
    world.settle();

    for (auto& r : world.apps.parley()->received())
        EXPECT_EQ(text(pf::Value(r.record)["title"]), "");
    // Blip's client refuses an empty message, so Blip only ever sees the authorisation.
    EXPECT_TRUE(world.blipShares().empty());
    EXPECT_FALSE(world.manager()->pendingBlipShare());
    // LM gets a request without content, which its client answers with its no-content code.
    EXPECT_TRUE(world.apps.lm()->shares().empty());
    EXPECT_TRUE(pf::Log::contains("LMApiSendResultCode = 4"));
    pf::Log::stopCapture();
}

TEST(Sharing, AnExpiredAuthorisationIsToldAndMorePermissionsAreAskedOfTheSession)
{
    SharingWorld world;
    world.manager()->showInvalidTokenOrOpenIDMessage();
    auto alert = pf::Driver().visibleAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "api调用失败");
    EXPECT_EQ(alert->message(), "可能授权已过期，请重新获取");
    ASSERT_TRUE(pf::Driver().tapAlertButton("OK"));

    // The share waits for the next authorisation: the answer is no, whatever the session does.
    EXPECT_EQ(world.manager()->morrowNeedPerformIncrAuth(world.manager()->morrowOAuth(), { "add_share" }), std::optional<bool>(false));
    EXPECT_EQ(world.manager()->morrowNeedPerformIncrAuth(nullptr, { "add_share" }), std::optional<bool>(false));
    world.settle();
}
