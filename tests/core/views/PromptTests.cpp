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
    EXPECT_EQ(toast->frame(), Rect(40, 210, 240, 60));
    ASSERT_EQ(toast->subviews().size(), 1u);
    auto label = std::dynamic_pointer_cast<pf::Label>(toast->subviews()[0]);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), "领取失败<b>&"); // plain text, shown as written
    EXPECT_EQ(label->frame(), Rect(10, 0, 220, 60));
    EXPECT_EQ(label->numberOfLines(), 0);

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

TEST_F(PromptTests, PanelLinesStartAtFortyAndAreReplacedWhole)
{
    auto panel = std::make_shared<UserAccountPromptView>(Rect { 50, 100, 240, 200 });
    panel->assignText({ "<font size=16>欢迎</font>", "第二行", "第三行" });
    ASSERT_EQ(panel->subviews().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        auto line = std::dynamic_pointer_cast<pf::RichTextLabel>(panel->subviews()[i]);
        ASSERT_TRUE(line);
        EXPECT_EQ(line->frame(), Rect(20, 40 + 40.0 * i, 200, 30));
        EXPECT_EQ(line->textAlignment(), pf::TextAlignment::Center);
    }
    EXPECT_EQ(std::static_pointer_cast<pf::RichTextLabel>(panel->subviews()[0])->plainText(), "欢迎");

    panel->assignText({ "只有一行" });
    ASSERT_EQ(panel->subviews().size(), 1u);
    EXPECT_EQ(panel->subviews()[0]->frame(), Rect(20, 40, 200, 30));

    panel->assignText({});
    EXPECT_TRUE(panel->subviews().empty());
}

TEST_F(PromptTests, LoadingAnimationIsHalfThePictureCentredWithTheLineUnderIt)
{
    auto loading = LoadingPromptView::create({ 0, 0, 320, 416 });
    auto gif = loading->loadingPromptGifView();
    ASSERT_TRUE(gif && gif->image());
    pf::Size half { gif->image()->pixelWidth() / 2.0, gif->image()->pixelHeight() / 2.0 };
    EXPECT_EQ(gif->frame(), Rect(160 - half.width / 2, 200 - half.height / 2, half.width, half.height));
    EXPECT_TRUE(gif->isAnimating());

    auto text = loading->promptText();
    ASSERT_TRUE(text);
    EXPECT_EQ(text->frame(), Rect(0, gif->frame().maxY(), 320, 20));
    EXPECT_EQ(text->text(), "主人，人家在努力加载哦...");
    EXPECT_EQ(text->textAlignment(), pf::TextAlignment::Center);
    EXPECT_EQ(loading->subviews().size(), 2u);
    EXPECT_FALSE(loading->backgroundColor());
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
