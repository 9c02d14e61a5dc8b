#include "tests/screens/PortalScreenFixture.h"

#include "core/managers/AppointmentManager.h"
#include "core/records/GiftDetailInfo.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/Sandbox.h"
#include "platform/graphics/Image.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/testing/TestHttpServer.h"
#include "platform/ui/Button.h"
#include "platform/ui/TableView.h"
#include "screens/gifts/GiftActionControl.h"
#include "screens/gifts/GiftDetailHeaderTableViewCell.h"
#include "screens/gifts/GiftDetailViewController.h"
#include "screens/gifts/GiftObtainFinishedPromptControl.h"
#include "screens/gifts/VerificationViewController.h"

#include <mutex>

namespace {

std::string giftBody(int status, const std::string& titleJson = "\"测试礼包\"", int gold = 0)
{
    return "{\"fid\":2001,\"title\":" + titleJson + ",\"status\":" + std::to_string(status)
        + ",\"info\":\"内容\",\"desc\":\"用法\",\"total\":10,\"send\":3,\"startime\":1700000000,\"endtime\":1800000000"
        + ",\"extcredits1\":" + std::to_string(gold) + ",\"extcredits2\":0,\"ext1\":0,\"ext2\":0,\"draw\":1}";
}

std::string ok(const std::string& body) { return "{\"ret\":0,\"msg\":\"\",\"body\":" + body + "}"; }

std::string compositePng()
{
    pf::Image image(130, 170);
    for (auto& pixel : image.pixels())
        pixel = pf::Image::pixelFromColor(pf::Color::rgb(0.3, 0.6, 0.9));
    pf::Bytes png = image.pngData();
    return std::string(png.begin(), png.end());
}

// A portal that answers what each test scripts, operation by operation, and counts the calls.
class GiftDetailFaultTest : public PortalScreenFixture {
protected:
    GiftDetailFaultTest()
    {
        useApi(fake.url("/api/"));
        answer("user/info", ok(R"({"nickname":"测试","username":"t"})"));
        fake.reply("GET", "/img/captcha.png", 200, compositePng(), "image/png");
        LoginManager::sharedInstance()->recordUserToken("token-1");
        showRoot();
    }

    void answer(const std::string& operation, const std::string& body)
    {
        fake.reply("POST", "/api/" + operation, 200, body, "application/json");
    }
    size_t calls(const std::string& operation) const
    {
        size_t n = 0;
        for (auto& r : fake.requests())
            n += r.path == "/api/" + operation;
        return n;
    }

    std::shared_ptr<GiftDetailViewController> open()
    {
        auto screen = std::make_shared<GiftDetailViewController>();
        screen->setFid(2001);
        push(screen);
        settle();
        return screen;
    }
    void tapBar(const std::shared_ptr<GiftDetailViewController>& screen)
    {
        driver.tap(screen->giftActionControl()->giftObtainButton());
        settle();
    }
    bool toastShows(const std::string& text) const { return driver.findByText(text) != nullptr; }

    pf::TestHttpServer fake;
};

}

TEST_F(GiftDetailFaultTest, AFailedDetailShowsItsMessageAndOffersNothingToBook)
{
    struct Case {
        std::string reply;
        std::string shown;
    };
    const Case cases[] = {
        { R"({"ret":1,"msg":"礼包不存在"})", "礼包不存在" },
        { R"({"msg":"维护中","body":)" + giftBody(0) + "}", "维护中" },
        { "<html>502</html>", "礼包信息加载失败，请稍后再试" },
        { R"({"ret":0,"msg":""})", "礼包信息加载失败，请稍后再试" },
        { ok(R"({"fid":0,"title":"x","status":0})"), "礼包信息加载失败，请稍后再试" },
        { ok(R"({"fid":2001,"title":null,"status":0})"), "礼包信息加载失败，请稍后再试" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        answer("ka/info", c.reply);
        auto screen = open();
        EXPECT_TRUE(toastShows(c.shown));
        EXPECT_FALSE(screen->giftDetailInfo());
        EXPECT_TRUE(screen->sectionTypes().empty());
        EXPECT_FALSE(screen->giftActionControl()->isUserInteractionEnabled());
        driver.tap(screen->giftActionControl()->giftObtainButton());
        settle();
        driver.advance(3.5);
        navigation->popViewController(false);
    }
    auto booked = AppointmentManager::sharedInstance()->allAppointmentInfo();
    ASSERT_TRUE(booked);
    EXPECT_TRUE(booked->empty()) << "nothing was booked";
    EXPECT_EQ(calls("user/info"), 0u);
}

TEST_F(GiftDetailFaultTest, BookingSaysSoOnlyWhenTheStoreKeptTheGift)
{
    answer("ka/info", ok(giftBody(0, "\"<b>新手</b> & 礼包\"")));
    auto screen = open();
    // A title with markup characters shows as written.
    auto header = std::dynamic_pointer_cast<GiftDetailHeaderTableViewCell>(screen->tableView()->cellForRowAtIndexPath({ 0, 0 }));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->title()->plainText(), "<b>新手</b> & 礼包");

    tapBar(screen);
    EXPECT_TRUE(toastShows("您的<b>新手</b> & 礼包已经预约成功"));
    driver.advance(3.5);
    tapBar(screen);
    EXPECT_TRUE(toastShows("您的<b>新手</b> & 礼包已经预约成功")) << "booked already: still kept";
    auto booked = AppointmentManager::sharedInstance()->allAppointmentInfo();
    ASSERT_TRUE(booked);
    ASSERT_EQ(booked->size(), 1u);
    EXPECT_EQ(booked->front()->fid(), 2001);
    driver.advance(3.5);
    navigation->popViewController(false);

    // A store that cannot be written to says the booking failed.
    answer("ka/info", ok(giftBody(0, "\"另一个礼包\"").replace(7, 4, "2002")));
    std::string database = pf::Sandbox::current()->documentsPath() + "/GameDatabase.sqlite";
    pf::FileManager::removeItem(database);
    ASSERT_TRUE(pf::FileManager::createDirectory(database, false));
    auto other = open();
    ASSERT_TRUE(other->giftDetailInfo());
    tapBar(other);
    EXPECT_TRUE(toastShows("预约失败，请稍后再试"));
    EXPECT_FALSE(driver.findContainingText("预约成功"));
}

TEST_F(GiftDetailFaultTest, AnUnusableCaptchaPictureShowsNoOverlay)
{
    answer("ka/info", ok(giftBody(1)));
    auto screen = open();
    for (const std::string& url : { fake.url("/img/missing.png"), std::string("file:///etc/hosts"), std::string("") }) {
        SCOPED_TRACE(url);
        answer("ka/capth", ok(R"({"verifystr":"v1","verikey":"天|地|人|山|水|火|风|云|龙","url":")" + url + "\"}"));
        tapBar(screen);
        EXPECT_TRUE(toastShows("验证码加载失败，请稍后再试"));
        EXPECT_FALSE(screen->verificationViewController());
        EXPECT_EQ(screen->giftObtainStatus(), GiftDetailViewController::ObtainStatus::None);
        driver.advance(3.5);
    }
    // A captcha the portal refuses shows its message.
    answer("ka/capth", R"({"ret":4,"msg":"请先登录"})");
    tapBar(screen);
    EXPECT_TRUE(toastShows("请先登录"));
    driver.advance(3.5);

    // A good captcha, closed; the next claim shows the overlay empty while it waits, and a
    // failed picture then takes it away.
    answer("ka/capth", ok(R"({"verifystr":"v2","verikey":"天|地|人|山|水|火|风|云|龙","url":")" + fake.url("/img/captcha.png") + "\"}"));
    tapBar(screen);
    auto overlay = screen->verificationViewController();
    ASSERT_TRUE(overlay);
    EXPECT_TRUE(driver.isVisible(*overlay->view()));
    driver.advance(1.0);
    ASSERT_TRUE(driver.tapText("关闭"));
    answer("ka/capth", ok(R"({"verifystr":"v3","verikey":"天|地","url":")" + fake.url("/img/missing.png") + "\"}"));
    tapBar(screen);
    EXPECT_FALSE(driver.isVisible(*overlay->view()));
    EXPECT_TRUE(toastShows("验证码加载失败，请稍后再试"));
    EXPECT_EQ(calls("ka/receive"), 0u);
}

TEST_F(GiftDetailFaultTest, AFailedClaimIsNotSentAgainAndAnEmptyCodeIsNeverCopied)
{
    answer("ka/info", ok(giftBody(2)));
    auto screen = open();
    pf::Pasteboard::general()->setString("mine");

    answer("ka/receive", R"({"ret":1,"msg":"暂时没有可淘的号，请稍后再试"})");
    tapBar(screen);
    EXPECT_EQ(calls("ka/receive"), 1u);
    EXPECT_TRUE(toastShows("暂时没有可淘的号，请稍后再试"));
    EXPECT_EQ(screen->giftObtainStatus(), GiftDetailViewController::ObtainStatus::None);
    LoginManager::sharedInstance()->requestUserInfo();
    settle();
    EXPECT_EQ(calls("ka/receive"), 1u) << "a later login check sends nothing";
    driver.advance(3.5);

    // A success without a code is no result.
    for (const std::string& reply : { ok(R"({"fid":2001,"code":""})"), ok(R"({"fid":2001,"code":null})"), std::string(R"({"ret":0})") }) {
        SCOPED_TRACE(reply);
        answer("ka/receive", reply);
        tapBar(screen);
        EXPECT_TRUE(toastShows("领取失败，请稍后再试"));
        EXPECT_FALSE(driver.isVisible(*screen->giftObtainFinishedPromptControl()));
        driver.advance(3.5);
    }
    EXPECT_EQ(calls("ka/receive"), 4u);
    auto copy = std::make_shared<pf::View>();
    copy->setTag(GiftObtainFinishedPromptControl::kCopyButtonTag);
    screen->didTouchButton(copy);
    EXPECT_EQ(pf::Pasteboard::general()->string(), "mine");
}
