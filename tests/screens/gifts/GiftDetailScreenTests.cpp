#include "tests/screens/PortalScreenFixture.h"

#include "core/records/GiftDetailInfo.h"
#include "core/records/GiftObtainInfo.h"
#include "platform/graphics/Image.h"
#include "core/records/VerificationCodeInfo.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "screens/account/UserLoggingViewController.h"
#include "screens/gifts/GiftActionControl.h"
#include "screens/gifts/GiftDetailHeaderTableViewCell.h"
#include "screens/gifts/GiftDetailViewController.h"
#include "screens/gifts/GiftObtainFinishedPromptControl.h"
#include "screens/gifts/GiftObtainPromptControl.h"
#include "screens/gifts/GiftScreenFactory.h"
#include "screens/gifts/PriceReduceTypeLabel.h"
#include "screens/gifts/SectionHeaderTableViewCell.h"
#include "screens/gifts/VerificationViewController.h"

namespace {

// Sample gifts of the local portal (first category): 1001 free, 1002 gold coins reduced from
// twice the price, 1003 forum points, 1004 not open yet, 1005 only released codes left, 1006
// gold coins and forum points, 1007 ended.
constexpr int kFreeGift = 1001;
constexpr int kGoldGift = 1002;
constexpr int kPointsGift = 1003;
constexpr int kBookingGift = 1004;
constexpr int kPickUpGift = 1005;
constexpr int kBothCostsGift = 1006;
constexpr int kEndedGift = 1007;

class GiftDetailScreenTest : public PortalScreenFixture {
protected:
    GiftDetailScreenTest() { showRoot(); }

    std::shared_ptr<GiftDetailViewController> openGift(int fid)
    {
        auto screen = std::dynamic_pointer_cast<GiftDetailViewController>(GiftScreenFactory::giftDetailViewController(fid));
        EXPECT_TRUE(screen) << "the lists open the detail screen";
        push(screen);
        settle();
        return screen;
    }

    std::shared_ptr<GiftDetailHeaderTableViewCell> header(const std::shared_ptr<GiftDetailViewController>& screen)
    {
        return std::dynamic_pointer_cast<GiftDetailHeaderTableViewCell>(screen->tableView()->cellForRowAtIndexPath({ 0, 0 }));
    }

    std::shared_ptr<pf::Button> statusButton(const std::shared_ptr<GiftDetailViewController>& screen)
    {
        return screen->giftActionControl()->giftObtainButton();
    }

    // Picks the captcha's answer on the overlay, tile by tile, as a person reading it would.
    void pickAnswer(const std::shared_ptr<VerificationViewController>& overlay)
    {
        auto captcha = overlay->verificationCodeInfo();
        ASSERT_TRUE(captcha);
        auto answer = portal.service().answerOfCaptcha(captcha->verifystr().text());
        ASSERT_TRUE(answer);
        const auto& words = *captcha->verikey();
        std::string rest = *answer;
        while (!rest.empty()) {
            bool found = false;
            for (size_t i = 0; i < words.size() && !found; ++i) {
                if (!words[i].empty() && rest.rfind(words[i], 0) == 0) {
                    auto tile = overlay->pickingView()->viewWithTag(static_cast<int>(i) + VerificationViewController::kFirstTileTag);
                    ASSERT_TRUE(tile);
                    ASSERT_TRUE(driver.tap(tile)) << words[i];
                    rest = rest.substr(words[i].size());
                    found = true;
                }
            }
            ASSERT_TRUE(found) << "no tile for the rest of the answer " << rest;
        }
    }
};

}

TEST_F(GiftDetailScreenTest, ShowsTheGiftInItsSectionsWithTheCostStruckThrough)
{
    auto screen = openGift(kGoldGift);
    auto info = screen->giftDetailInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(screen->title(), "礼包详情");
    EXPECT_EQ(screen->sectionTypes(), (std::vector<int> { 0, 1, 2, 3 }));
    EXPECT_EQ(screen->tableView()->numberOfRowsInSection(3), static_cast<int>(info->abouts()->size()) + 1);
    for (const char* text : { "礼包详情", "使用方法" })
        EXPECT_TRUE(driver.findByText(text)) << text;

    auto cell = header(screen);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->title()->plainText(), info->title().text());
    EXPECT_EQ(cell->detail()->plainText(),
        "剩余礼包：" + std::to_string(info->total() - info->send()) + "/" + std::to_string(info->total()));
    EXPECT_EQ(cell->obtainCondition()->plainText(), "领取资格：需消耗" + std::to_string(info->extcredits1()) + "金币");
    EXPECT_EQ(cell->obtainTimes()->plainText(), "可领次数：1");
    EXPECT_NE(cell->startTime()->plainText().find("开始时间：20"), std::string::npos);
    auto price = cell->originalPrice();
    EXPECT_FALSE(price->isHidden());
    EXPECT_EQ(price->text(), "原价金币:" + std::to_string(info->ext1()) + "金币");
    EXPECT_GT(price->lineView()->frame().width(), 0);
    EXPECT_EQ(price->lineView()->frame().y(), price->frame().height() / 2) << "struck through the middle";
}

TEST_F(GiftDetailScreenTest, EachStatusOffersItsOneActionAndItsConditionLine)
{
    struct Expected {
        int fid;
        const char* title;
        int tag;
        const char* colour;
        const char* condition; // prefix of the condition line
        bool price;
    };
    const Expected cases[] = {
        { kBookingGift, "预约", 11, "#52ACF9", "领取资格：免费", false },
        { kFreeGift, "领取", 12, "#7EC63D", "领取资格：免费", false },
        { kGoldGift, "领取", 12, "#7EC63D", "领取资格：需消耗", true },
        { kPointsGift, "领取", 12, "#7EC63D", "领取资格：", true },
        { kPickUpGift, "淘号", 13, "#FFB701", "领取资格：免费", false },
        { kEndedGift, "结束", 14, "#C0C0C0", "领取资格：", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fid);
        auto screen = openGift(c.fid);
        auto button = statusButton(screen);
        EXPECT_EQ(button->title(), c.title);
        EXPECT_EQ(button->tag(), c.tag);
        EXPECT_EQ(button->backgroundColor()->hexString(), c.colour);
        EXPECT_TRUE(screen->giftActionControl()->isUserInteractionEnabled());
        auto cell = header(screen);
        ASSERT_TRUE(cell);
        EXPECT_EQ(cell->obtainCondition()->plainText().rfind(c.condition, 0), 0u) << cell->obtainCondition()->plainText();
        EXPECT_EQ(!cell->originalPrice()->isHidden(), c.price);
        navigation->popViewController(false);
    }

    // A forum-point gift names its own currency, with its own full price.
    auto points = openGift(kPointsGift);
    auto info = points->giftDetailInfo();
    EXPECT_EQ(header(points)->obtainCondition()->plainText(), "领取资格：" + std::to_string(info->extcredits2()) + "萌点");
    EXPECT_EQ(header(points)->originalPrice()->text(), "原价萌点:" + std::to_string(info->ext2()) + "萌点");
    navigation->popViewController(false);

    // Codes all given out: nothing left to count, whatever "send" says.
    auto pickUp = openGift(kPickUpGift);
    EXPECT_EQ(header(pickUp)->detail()->plainText().rfind("剩余礼包：0/", 0), 0u);
    navigation->popViewController(false);

    // The ended gift's grey button has a black title and does nothing.
    auto ended = openGift(kEndedGift);
    EXPECT_EQ(statusButton(ended)->titleColor(), pf::Color::black());
    ASSERT_TRUE(driver.tap(statusButton(ended)));
    settle();
    EXPECT_EQ(ended->giftObtainStatus(), GiftDetailViewController::ObtainStatus::None);
    EXPECT_EQ(countOf("user/info"), 0u);
    EXPECT_EQ(top(), ended);
}

TEST_F(GiftDetailScreenTest, ARelatedGiftOpensItsOwnScreenButItsSectionTitleDoesNot)
{
    auto screen = openGift(kFreeGift);
    auto abouts = *screen->giftDetailInfo()->abouts();
    auto table = screen->tableView();
    int related = static_cast<int>(screen->sectionTypes().size()) - 1;
    table->scrollToRowAtIndexPath({ related, 1 }, pf::TableViewScrollPosition::Bottom, false);
    driver.settle();

    ASSERT_TRUE(driver.tapRow(table, { related, 0 }));
    EXPECT_EQ(top(), screen) << "the title row of 猜你喜欢 opens nothing";

    ASSERT_TRUE(driver.tapRow(table, { related, 1 }));
    driver.advance(0.5);
    settle();
    auto next = std::dynamic_pointer_cast<GiftDetailViewController>(top());
    ASSERT_TRUE(next);
    EXPECT_NE(next, screen);
    EXPECT_EQ(next->fid(), abouts[0]->fid());
    ASSERT_TRUE(next->giftDetailInfo());
    EXPECT_EQ(next->giftDetailInfo()->title().text(), abouts[0]->title().text());
}

TEST_F(GiftDetailScreenTest, AFreeClaimGoesThroughTheCaptchaAndTheCodeIsCopied)
{
    storeTokenOf("demo", "demo123");
    auto screen = openGift(kFreeGift);
    pf::Pasteboard::general()->setString("before");

    ASSERT_TRUE(driver.tap(statusButton(screen)));
    settle();
    EXPECT_EQ(countOf("user/info"), 1u) << "the login is checked first";
    EXPECT_EQ(countOf("ka/capth"), 1u);
    EXPECT_EQ(countOf("ka/receive"), 0u);

    auto overlay = screen->verificationViewController();
    ASSERT_TRUE(overlay);
    EXPECT_TRUE(driver.isVisible(*overlay->view()));
    ASSERT_TRUE(overlay->questionView()->image());
    EXPECT_EQ(overlay->pickingView()->subviews().size(), 18u) << "nine frames and nine tiles";
    driver.advance(1.0); // touches wait a second after the overlay shows

    // A new picture takes the old one's tiles and picks at once, and "确定" waits for it.
    ASSERT_TRUE(driver.tap(overlay->pickingView()->viewWithTag(VerificationViewController::kFirstTileTag)));
    // The new captcha is held at the portal until the checks below are done: the tap lets the
    // loop run, and a fast reply would otherwise fill the grid again before we look at it.
    portal.holdOperation("ka/capth");
    ASSERT_TRUE(driver.tapText("换一张"));
    EXPECT_TRUE(overlay->pickingView()->subviews().empty());
    EXPECT_TRUE(overlay->inputWordsIndexArray().empty());
    ASSERT_TRUE(driver.tapText("确定"));
    portal.releaseHeld();
    settle();
    EXPECT_EQ(countOf("ka/receive"), 0u);
    EXPECT_EQ(countOf("ka/capth"), 2u);
    ASSERT_TRUE(driver.isVisible(*overlay->view()));
    driver.advance(1.0);

    pickAnswer(overlay);
    EXPECT_EQ(overlay->inputWordsIndexArray().size(), 4u);
    std::string verifystr = overlay->verificationCodeInfo()->verifystr().text();
    std::string answer = overlay->answerText();
    ASSERT_TRUE(driver.tapText("确定"));
    settle();

    EXPECT_FALSE(driver.isVisible(*overlay->view()));
    EXPECT_EQ(countOf("user/info"), 2u) << "and checked again before the claim";
    auto claims = formsOf("ka/receive");
    ASSERT_EQ(claims.size(), 1u);
    EXPECT_EQ(claims[0]["fid"], std::to_string(kFreeGift));
    EXPECT_EQ(claims[0]["verifystr"], verifystr);
    EXPECT_EQ(claims[0]["verifyCode"], answer);

    auto result = screen->giftObtainFinishedPromptControl();
    ASSERT_TRUE(driver.isVisible(*result));
    std::string code = screen->giftObtainInfo()->codeString().text();
    EXPECT_EQ(code.rfind("QV1001-", 0), 0u);
    EXPECT_EQ(result->codeView()->plainText(), "卡密：" + code);
    EXPECT_EQ(result->title()->plainText(), "恭喜您成功领到了" + screen->giftDetailInfo()->title().text());
    EXPECT_TRUE(result->warnningText()->isHidden());

    ASSERT_TRUE(driver.tapText("复制卡密"));
    EXPECT_EQ(pf::Pasteboard::general()->string(), code);
    EXPECT_FALSE(result->isVisibleOnScreen());

    // The claim is done: a later "UserLogin" from anywhere sends nothing more.
    LoginManager::sharedInstance()->requestUserInfo();
    settle();
    pf::NotificationCenter::defaultCenter().post("UserLogin", pf::Value(pf::Dictionary { { "ret", 0 } }));
    settle();
    EXPECT_EQ(countOf("ka/receive"), 1u);
    EXPECT_EQ(countOf("ka/capth"), 2u);
}

TEST_F(GiftDetailScreenTest, ACaptchaClosedWhileANewPictureLoadsStaysClosedAndTheNextClaimWorks)
{
    storeTokenOf("demo", "demo123");
    auto screen = openGift(kFreeGift);
    ASSERT_TRUE(driver.tap(statusButton(screen)));
    settle();
    auto overlay = screen->verificationViewController();
    ASSERT_TRUE(overlay && driver.isVisible(*overlay->view()));
    driver.advance(1.0);

    // The user closes the overlay while the portal holds the new picture.
    portal.holdOperation("ka/capth");
    ASSERT_TRUE(driver.tapText("换一张"));
    ASSERT_TRUE(env.runUntil([&] { return countOf("ka/capth") == 2; }));
    ASSERT_TRUE(driver.tapText("关闭"));
    portal.releaseHeld();
    settle();
    EXPECT_FALSE(driver.isVisible(*overlay->view())) << "the late picture opens nothing";
    EXPECT_EQ(screen->giftObtainStatus(), GiftDetailViewController::ObtainStatus::None);

    // The next claim asks for a picture of its own and goes through.
    ASSERT_TRUE(driver.tap(statusButton(screen)));
    settle();
    EXPECT_EQ(countOf("ka/capth"), 3u);
    driver.advance(1.0);
    pickAnswer(overlay);
    ASSERT_TRUE(driver.tapText("确定"));
    settle();
    EXPECT_EQ(countOf("ka/receive"), 1u);
    EXPECT_TRUE(driver.isVisible(*screen->giftObtainFinishedPromptControl()));
}

TEST_F(GiftDetailScreenTest, AShortOrEmptyAnswerIsSentAndItsRefusalShownAsAFailedClaim)
{
    storeTokenOf("demo", "demo123");
    auto screen = openGift(kFreeGift);
    for (const auto& picks : { std::vector<int> { 1, 0 }, std::vector<int> {} }) {
        SCOPED_TRACE(std::to_string(picks.size()) + " picks");
        size_t claimsBefore = countOf("ka/receive");
        ASSERT_TRUE(driver.tap(statusButton(screen)));
        settle();
        auto overlay = screen->verificationViewController();
        ASSERT_TRUE(overlay && driver.isVisible(*overlay->view()));
        driver.advance(1.0);
        for (int index : picks)
            ASSERT_TRUE(driver.tap(overlay->pickingView()->viewWithTag(index + VerificationViewController::kFirstTileTag)));
        std::string verifystr = overlay->verificationCodeInfo()->verifystr().text();
        std::string answer = overlay->answerText();
        ASSERT_EQ(answer.empty(), picks.empty());
        ASSERT_FALSE(driver.findByText("验证码错误，请重新选择"));

        ASSERT_TRUE(driver.tapText("确定"));
        settle();
        EXPECT_FALSE(driver.isVisible(*overlay->view()));
        auto claims = formsOf("ka/receive");
        ASSERT_EQ(claims.size(), claimsBefore + 1);
        EXPECT_EQ(claims.back()["verifystr"], verifystr);
        if (picks.empty())
            EXPECT_FALSE(claims.back().contains("verifyCode")) << "an empty answer is left out";
        else
            EXPECT_EQ(claims.back()["verifyCode"], answer);
        // The portal refuses it, and the user is told as for any failed claim.
        EXPECT_TRUE(driver.findByText("验证码错误，请重新选择"));
        EXPECT_FALSE(driver.isVisible(*screen->giftObtainFinishedPromptControl()));
        driver.advance(5.0); // the message goes
    }
}

TEST_F(GiftDetailScreenTest, APaidClaimAsksFirstAndCancelLeavesNothingPending)
{
    storeTokenOf("gamer", "gamer123");
    auto screen = openGift(kGoldGift);
    auto info = screen->giftDetailInfo();
    auto prompt = screen->giftObtainPromptControl();

    ASSERT_TRUE(driver.tap(statusButton(screen)));
    EXPECT_TRUE(driver.isVisible(*prompt));
    EXPECT_EQ(prompt->title()->plainText(), "你确定要花费" + std::to_string(info->extcredits1()) + "个金币兑换一个《" + info->title().text() + "》礼包吗？");
    ASSERT_TRUE(driver.tapText("取消"));
    EXPECT_FALSE(driver.isVisible(*prompt));
    EXPECT_EQ(screen->giftObtainStatus(), GiftDetailViewController::ObtainStatus::None);
    EXPECT_EQ(countOf("user/info"), 0u);

    ASSERT_TRUE(driver.tap(statusButton(screen)));
    ASSERT_TRUE(driver.tapText("立刻领取"));
    settle();
    EXPECT_EQ(countOf("user/info"), 1u);
    EXPECT_EQ(countOf("ka/capth"), 1u);
    ASSERT_TRUE(screen->verificationViewController());
    EXPECT_TRUE(driver.isVisible(*screen->verificationViewController()->view()));
    EXPECT_FALSE(driver.tapText("立刻领取")) << "the captcha lies over the prompt";

    // Closing the captcha takes the prompt away too and leaves nothing to resume.
    driver.advance(1.0);
    ASSERT_TRUE(driver.tapText("关闭"));
    EXPECT_FALSE(driver.isVisible(*screen->verificationViewController()->view()));
    EXPECT_FALSE(driver.isVisible(*prompt));
    pf::NotificationCenter::defaultCenter().post("UserLogin", pf::Value(pf::Dictionary { { "ret", 0 } }));
    settle();
    EXPECT_EQ(countOf("ka/capth"), 1u);
    EXPECT_EQ(countOf("ka/receive"), 0u);
    navigation->popViewController(false);

    // A gift with both costs: the claim charges both, and the header and the question say so.
    auto both = openGift(kBothCostsGift);
    auto bothInfo = both->giftDetailInfo();
    const std::string gold = std::to_string(bothInfo->extcredits1()), points = std::to_string(bothInfo->extcredits2());
    EXPECT_EQ(header(both)->obtainCondition()->plainText(), "领取资格：需消耗" + gold + "金币和" + points + "萌点");
    ASSERT_TRUE(driver.tap(statusButton(both)));
    EXPECT_EQ(both->giftObtainPromptControl()->title()->plainText(),
        "你确定要花费" + gold + "个金币和" + points + "个萌点兑换一个《" + bothInfo->title().text() + "》礼包吗？");
}

TEST_F(GiftDetailScreenTest, APickUpSendsNoCaptchaAndWarnsTheCodeMayBeUsed)
{
    storeTokenOf("demo", "demo123");
    auto screen = openGift(kPickUpGift);
    ASSERT_TRUE(driver.tap(statusButton(screen)));
    settle();

    EXPECT_EQ(countOf("ka/capth"), 0u);
    auto claims = formsOf("ka/receive");
    ASSERT_EQ(claims.size(), 1u);
    EXPECT_EQ(claims[0].count("verifystr"), 0u);
    EXPECT_EQ(claims[0].count("verifyCode"), 0u);

    auto result = screen->giftObtainFinishedPromptControl();
    ASSERT_TRUE(driver.isVisible(*result));
    EXPECT_EQ(result->title()->plainText(), "恭喜您成功淘到了" + screen->giftDetailInfo()->title().text());
    EXPECT_TRUE(driver.findByText("该礼包可能已经被激活"));
    EXPECT_EQ(screen->giftObtainInfo()->codeString().text().rfind("TH1005-", 0), 0u);

    ASSERT_TRUE(driver.tapText("复制卡密"));
    EXPECT_EQ(pf::Pasteboard::general()->string(), screen->giftObtainInfo()->codeString().text());
}

TEST_F(GiftDetailScreenTest, AClaimStartedLoggedOutGoesOnOnceAfterTheLogin)
{
    auto screen = openGift(kPickUpGift);
    ASSERT_TRUE(driver.tap(statusButton(screen)));
    driver.advance(0.5);
    settle();

    auto login = std::dynamic_pointer_cast<UserLoggingViewController>(top());
    ASSERT_TRUE(login) << "the login screen is pushed";
    EXPECT_EQ(navigation->viewControllers().size(), 3u);
    EXPECT_TRUE(driver.findByText("帐号登录"));
    EXPECT_EQ(countOf("user/info"), 0u) << "no token: nothing to ask the portal";

    ASSERT_TRUE(driver.typeText(login->userName(), "demo"));
    ASSERT_TRUE(driver.typeText(login->password(), "demo123"));
    ASSERT_TRUE(driver.tapText("登录"));
    settle();

    EXPECT_EQ(countOf("user/credentials"), 1u);
    EXPECT_EQ(countOf("ka/receive"), 1u) << "the pick-up goes on after the login";
    EXPECT_TRUE(screen->giftObtainInfo());
    EXPECT_EQ(screen->giftObtainStatus(), GiftDetailViewController::ObtainStatus::None);

    // The login screen leaves 3.1 seconds later, uncovering the result.
    driver.advance(3.0);
    EXPECT_EQ(top(), login);
    driver.advance(0.2);
    driver.advance(0.5);
    EXPECT_EQ(top(), screen);
    EXPECT_TRUE(driver.isVisible(*screen->giftObtainFinishedPromptControl()));

    // Nothing is claimed again by later logins.
    LoginManager::sharedInstance()->requestUserInfo();
    settle();
    EXPECT_EQ(countPosted("UserLogin"), 2u);
    EXPECT_EQ(countOf("ka/receive"), 1u);
}

TEST_F(GiftDetailScreenTest, OnlyThePendingScreenOnTopPushesTheLoginScreen)
{
    auto first = openGift(kFreeGift);
    auto second = openGift(kBookingGift);

    // Nobody has a step pending: a "UserNotLogin" from elsewhere pushes nothing.
    LoginManager::sharedInstance()->requestUserInfo();
    driver.advance(0.5);
    EXPECT_EQ(top(), second);

    // The lower screen's pending step does not push over the upper one.
    first->setGiftObtainStatus(GiftDetailViewController::ObtainStatus::CaptchaWanted);
    pf::NotificationCenter::defaultCenter().post("UserNotLogin");
    driver.advance(0.5);
    EXPECT_EQ(top(), second);
    navigation->popViewController(false);
    driver.settle();

    // One notification, one login screen; a second one finds the detail screen covered.
    ASSERT_TRUE(driver.tap(statusButton(first)));
    pf::NotificationCenter::defaultCenter().post("UserNotLogin");
    driver.advance(0.5);
    EXPECT_EQ(navigation->viewControllers().size(), 3u);
    EXPECT_TRUE(std::dynamic_pointer_cast<UserLoggingViewController>(top()));
}
