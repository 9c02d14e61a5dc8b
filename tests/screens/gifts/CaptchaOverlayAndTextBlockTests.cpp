#include "core/records/VerificationCodeInfo.h"
#include "core/views/AdaptedViewController.h"
#include "core/views/CellHeightCaculator.h"
#include "core/views/TableViewCellAddition.h"
#include "platform/foundation/Json.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/Button.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Label.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/ui/Window.h"
#include "screens/gifts/GiftDetailMiddleTableViewCell.h"
#include "screens/gifts/GiftDetailViewController.h"
#include "screens/gifts/VerificationViewController.h"

#include <gtest/gtest.h>

namespace {

class CaptchaOverlayAndTextBlockTest : public ::testing::Test {
protected:
    CaptchaOverlayAndTextBlockTest()
    {
        pf::UIEnvironment::reset();
        root = std::make_shared<AdaptedViewController>();
        window = std::make_shared<pf::Window>(pf::Rect { 0, 0, 320, 480 });
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        driver.settle();
    }
    ~CaptchaOverlayAndTextBlockTest() override
    {
        window.reset();
        pf::UIEnvironment::reset();
    }

    // The captcha overlay over a plain screen, owned by a detail screen that is not shown.
    std::shared_ptr<VerificationViewController> showOverlay(const std::string& verikey)
    {
        overlay = std::make_shared<VerificationViewController>();
        overlay->setSuperViewController(owner);
        root->view()->addSubview(overlay->view());
        auto reply = pf::Json::parse("{\"verifystr\":\"v\",\"verikey\":\"" + verikey + "\"}");
        overlay->setVerificationCodeInfo(VerificationCodeInfo::itemFromDictionary(*reply));
        overlay->viewWillAppear(true);
        driver.settle();
        return overlay;
    }
    std::shared_ptr<pf::View> tile(int index) const { return overlay->pickingView()->viewWithTag(index + 10); }

    pf::TaskEnvironment env;
    pf::Driver driver;
    std::shared_ptr<AdaptedViewController> root;
    std::shared_ptr<pf::Window> window;
    std::shared_ptr<GiftDetailViewController> owner { std::make_shared<GiftDetailViewController>() };
    std::shared_ptr<VerificationViewController> overlay;
};

}

TEST_F(CaptchaOverlayAndTextBlockTest, TheCaptchaTakesUpToFourPicksInOrderRepeatsAllowed)
{
    showOverlay("天|地|人|山");
    // Four words: a row of three and one below.
    EXPECT_EQ(tile(2)->frame(), pf::Rect(95, 3, 40, 40));
    EXPECT_EQ(tile(3)->frame(), pf::Rect(3, 49, 40, 40));
    EXPECT_FALSE(tile(4));

    driver.tap(tile(0));
    EXPECT_TRUE(overlay->inputWordsIndexArray().empty()) << "touches wait a second";
    driver.advance(1.0);

    for (int index : { 0, 0, 3, 1, 2 })
        driver.tap(tile(index));
    EXPECT_EQ(overlay->answerText(), "天天山地") << "the fifth pick changes nothing";
    ASSERT_TRUE(driver.tapText("删除"));
    EXPECT_EQ(overlay->answerText(), "天天山");
    EXPECT_EQ(overlay->inputWordsView()->subviews().size(), 4u + 3u) << "four frames, three words";

    // Fewer than four words go out as they are: the portal, not the button, judges them.
    owner->setGiftObtainStatus(GiftDetailViewController::ObtainStatus::CaptchaWanted);
    ASSERT_TRUE(driver.tapText("确定"));
    EXPECT_TRUE(overlay->view()->isHidden());
    EXPECT_EQ(owner->verifyCode(), "天天山");
    EXPECT_EQ(owner->giftObtainStatus(), GiftDetailViewController::ObtainStatus::AnswerPending);
    EXPECT_TRUE(overlay->inputWordsView()->subviews().empty());

    // A new showing starts empty, also on screen; closing resets the owner.
    overlay->view()->setHidden(false);
    overlay->viewWillAppear(true);
    driver.advance(1.0);
    driver.tap(tile(1));
    overlay->view()->setHidden(true);
    overlay->view()->setHidden(false);
    overlay->viewWillAppear(true);
    EXPECT_TRUE(overlay->inputWordsIndexArray().empty());
    EXPECT_EQ(overlay->inputWordsView()->subviews().size(), 4u) << "four empty frames, no word of the earlier showing";
    driver.advance(1.0);
    ASSERT_TRUE(driver.tapText("关闭"));
    EXPECT_TRUE(overlay->view()->isHidden());
    EXPECT_EQ(owner->giftObtainStatus(), GiftDetailViewController::ObtainStatus::None);

    // Confirming with nothing picked hands over an empty answer.
    overlay->view()->setHidden(false);
    overlay->viewWillAppear(true);
    driver.advance(1.0);
    ASSERT_TRUE(driver.tapText("确定"));
    EXPECT_TRUE(overlay->view()->isHidden());
    EXPECT_EQ(owner->verifyCode(), "");
    EXPECT_EQ(owner->giftObtainStatus(), GiftDetailViewController::ObtainStatus::AnswerPending);
}

TEST_F(CaptchaOverlayAndTextBlockTest, ATextBlockGrowsWithItsTextAndItsBackgroundFollows)
{
    GiftDetailMiddleTableViewCell::registerNib();
    auto shortCell = TableViewCellAddition::loadFromNibWithReuseFlag<GiftDetailMiddleTableViewCell>(false);
    shortCell->refreshCellDetailDescribtion("一行");
    auto longCell = TableViewCellAddition::loadFromNibWithReuseFlag<GiftDetailMiddleTableViewCell>(false);
    longCell->refreshCellDetailDescribtion(std::string(60, 'x') + " " + std::string(300, 'y') + "，礼包内容很长很长很长很长很长很长很长很长很长很长。");

    for (const auto& cell : { shortCell, longCell }) {
        auto label = cell->detailDescribtion();
        auto back = cell->backView();
        EXPECT_EQ(back->frame().height(), label->frame().height() + 6);
        EXPECT_EQ(CellHeightCaculator::getCellHeight(cell), std::max(back->frame().maxY(), label->frame().maxY()) + 4);
    }
    EXPECT_GT(longCell->detailDescribtion()->frame().height(), 2 * shortCell->detailDescribtion()->frame().height());
}
