#include "ViewsTestSupport.h"

#include "core/views/LoadingPromptView.h"
#include "core/views/PromptViewCreator.h"
#include "core/views/UserAccountPromptView.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Sandbox.h"
#include "platform/graphics/Image.h"
#include "platform/kit/GifView.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Label.h"
#include "platform/ui/Window.h"

#include <filesystem>

using pf::Rect;

namespace {

class PromptTests : public ViewsTest {
protected:
    std::shared_ptr<pf::Window> showWindow()
    {
        auto window = std::make_shared<pf::Window>(Rect { 0, 0, 320, 480 });
        window->makeKeyAndVisible();
        return window;
    }
};

TEST_F(PromptTests, ToastSitsInTheMiddleOfTheKeyWindowAndGoesAfterThreeSeconds)
{
    auto window = showWindow();
    auto toast = PromptViewCreator::sharedInstance()->showPromptViewWithMessage("领取失败<b>&");
    ASSERT_TRUE(toast);
    EXPECT_EQ(toast->superview(), window);
    EXPECT_EQ(window->subviews().back(), toast);
    ASSERT_EQ(toast->subviews().size(), 1u);
    auto label = std::dynamic_pointer_cast<pf::Label>(toast->subviews()[0]);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), "领取失败<b>&"); // plain text, shown as written

    env.fastForwardBy(1.5);
    double shown = toast->layer().presentationOpacity();
    EXPECT_GT(shown, 0.0);
    EXPECT_LT(shown, 1.0);
    EXPECT_EQ(toast->superview(), window);

    env.fastForwardBy(1.5);
    EXPECT_EQ(toast->superview(), nullptr);
    EXPECT_TRUE(toast->isHidden());
}

TEST_F(PromptTests, ToastsOverlapAndEachLeavesOnItsOwnSchedule)
{
    auto window = showWindow();
    pf::Driver driver;
    auto first = PromptViewCreator::sharedInstance()->showPromptViewWithMessage("第一条消息");
    driver.advance(1.0);
    auto second = PromptViewCreator::sharedInstance()->showPromptViewWithMessage("第二条消息");
    driver.settle();
    EXPECT_EQ(first->frame(), second->frame());
    EXPECT_EQ(window->subviews().back(), second);
    // Both still show while they fade.
    EXPECT_GT(first->layer().presentationOpacity(), 0.0);
    EXPECT_GT(second->layer().presentationOpacity(), first->layer().presentationOpacity());

    driver.advance(2.0);
    EXPECT_EQ(first->superview(), nullptr);
    EXPECT_EQ(second->superview(), window);
    EXPECT_GT(second->layer().presentationOpacity(), 0.0);
    driver.advance(1.0);
    EXPECT_EQ(second->superview(), nullptr);
    EXPECT_EQ(driver.dump().find("消息"), std::string::npos);
}

TEST_F(PromptTests, ToastNeedsAKeyWindow)
{
    EXPECT_FALSE(PromptViewCreator::sharedInstance()->showPromptViewWithMessage("无窗口"));
    env.fastForwardBy(5);
}

TEST_F(PromptTests, PanelLinesAreMarkupAndAreReplacedWhole)
{
    auto panel = std::make_shared<UserAccountPromptView>(Rect { 50, 100, 240, 200 });
    panel->assignText({ "<font size=16>欢迎</font>", "第二行", "第三行" });
    ASSERT_EQ(panel->subviews().size(), 3u);
    auto first = std::dynamic_pointer_cast<pf::RichTextLabel>(panel->subviews()[0]);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->plainText(), "欢迎");

    panel->assignText({ "只有一行" });
    ASSERT_EQ(panel->subviews().size(), 1u);
    EXPECT_EQ(panel->subviews()[0]->frame().y(), 40);

    panel->assignText({});
    EXPECT_TRUE(panel->subviews().empty());
}

TEST_F(PromptTests, LoadingAnimationIsHalfThePictureWithTheLineUnderIt)
{
    auto loading = LoadingPromptView::create({ 0, 0, 320, 416 });
    auto gif = loading->loadingPromptGifView();
    ASSERT_TRUE(gif && gif->image());
    EXPECT_EQ(gif->frame().width(), gif->image()->pixelWidth() / 2.0);
    EXPECT_TRUE(gif->isAnimating());
    ASSERT_TRUE(loading->promptText());
    EXPECT_EQ(loading->promptText()->frame().y(), gif->frame().maxY());
}

TEST_F(PromptTests, LoadingWithoutThePictureKeepsTheLineAtTheCentre)
{
    auto original = pf::Bundle::main();
    auto emptyFolder = env.sandbox().tmpPath() + "/EmptyBundle";
    std::filesystem::create_directories(emptyFolder);
    pf::Bundle::setMain(pf::Bundle::atPath(emptyFolder));
    auto loading = LoadingPromptView::create({ 0, 0, 320, 416 });
    pf::Bundle::setMain(original);

    EXPECT_EQ(loading->loadingPromptGifView()->frame(), Rect(160, 200, 0, 0));
    EXPECT_EQ(loading->promptText()->frame(), Rect(0, 200, 320, 20));
}

}
