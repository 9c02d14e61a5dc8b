#include "core/views/AdaptedViewController.h"
#include "platform/foundation/RunLoop.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Driver.h"
#include "platform/graphics/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/KeyframeAnimation.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/TouchSequence.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/ui/Window.h"
#include "screens/menu/DDMenuController.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class MenuContainerTest : public ::testing::Test {
protected:
    MenuContainerTest() { pf::UIEnvironment::reset(); }
    ~MenuContainerTest() override
    {
        window.reset();
        pf::UIEnvironment::reset();
    }

    void show()
    {
        first = std::make_shared<AdaptedViewController>();
        first->setTitle("首页");
        ownButton = std::make_shared<pf::BarButtonItem>("搜索", pf::BarButtonItemStyle::Plain, std::weak_ptr<pf::Responder>(), "search:");
        first->navigationItem().setRightBarButtonItem(ownButton);
        navigation = std::make_shared<pf::NavigationController>(first);
        container = std::make_shared<DDMenuController>(navigation);
        window = std::make_shared<pf::Window>(pf::Rect { 0, 0, 320, 480 });
        window->setRootViewController(container);
        window->makeKeyAndVisible();
        left = std::make_shared<pf::ViewController>();
        container->setLeftViewController(left);
        driver.settle();
    }

    std::shared_ptr<pf::View> centre() const { return navigation->view(); }
    double centreX() const { return centre()->frame().x(); }
    bool leftInTree() const { return left && left->viewIfLoaded() && left->viewIfLoaded()->superview() == container->view(); }

    // One finger from `from` through the x positions in `path`, moving 5 points a step at
    // `speed` points a second (so that is the velocity the recognisers see), lifted while moving.
    void finger(pf::Point from, std::vector<double> path, double speed)
    {
        auto& loop = pf::RunLoop::main();
        double t = loop.now();
        auto touch = pf::TouchSequence::begin(from, t);
        ASSERT_TRUE(touch);
        pf::Point p = from;
        for (double x : path) {
            while (std::fabs(p.x - x) > 1e-9) {
                double step = std::copysign(std::min(5.0, std::fabs(x - p.x)), x - p.x);
                p.x += step;
                t += std::fabs(step) / speed;
                loop.advanceTo(t);
                touch->moveTo(p, t);
            }
        }
        touch->end(t);
        driver.settle();
    }

    std::shared_ptr<pf::KeyframeAnimation> releaseAnimation() const { return container->releaseAnimation(); }

    pf::TaskEnvironment env;
    pf::Driver driver;
    std::shared_ptr<AdaptedViewController> first;
    std::shared_ptr<pf::BarButtonItem> ownButton;
    std::shared_ptr<pf::NavigationController> navigation;
    std::shared_ptr<pf::ViewController> left;
    std::shared_ptr<DDMenuController> container;
    std::shared_ptr<pf::Window> window;
};

TEST_F(MenuContainerTest, TheMenuButtonOpensAndClosesTheLeftSide)
{
    show();
    // The button sits on the first screen only.
    auto item = first->navigationItem().leftBarButtonItem();
    ASSERT_TRUE(item && item->customView());
    auto pushed = std::make_shared<AdaptedViewController>();
    navigation->pushViewController(pushed, false);
    EXPECT_FALSE(pushed->navigationItem().leftBarButtonItem());
    navigation->popViewController(false);
    driver.settle();

    ASSERT_TRUE(driver.tap(item->customView()));
    EXPECT_EQ(centreX(), 200);
    EXPECT_TRUE(container->isShowSideView());
    ASSERT_TRUE(leftInTree());
    EXPECT_EQ(container->view()->subviews().front(), left->view()) << "under the centre";
    EXPECT_EQ(left->view()->frame(), (pf::Rect { 0, 0, 320, 480 }));
    auto& layer = centre()->layer();
    EXPECT_DOUBLE_EQ(layer.shadowOpacity(), 0.8);
    EXPECT_EQ(layer.shadowRadius(), 4);
    EXPECT_EQ(layer.cornerRadius(), 4);
    EXPECT_EQ(layer.shadowOffset(), (pf::Size { 0, 0 }));
    EXPECT_EQ(layer.shadowPath(), (pf::Rect { 0, 0, 320, 480 }));
    EXPECT_FALSE(container->tapRecognizer()->isEnabled()) << "until the slide has ended";
    env.fastForwardBy(DDMenuController::kSlideDuration);
    EXPECT_TRUE(container->tapRecognizer()->isEnabled());

    // Pressed again, it closes; the side view leaves once the centre is back.
    ASSERT_TRUE(driver.tap(item->customView()));
    EXPECT_EQ(centreX(), 0);
    EXPECT_TRUE(leftInTree());
    env.fastForwardBy(DDMenuController::kSlideDuration);
    EXPECT_FALSE(leftInTree());
    EXPECT_FALSE(container->isShowSideView());
    EXPECT_FALSE(container->isShowingLeftView());
    EXPECT_EQ(layer.shadowOpacity(), 0);
    EXPECT_FALSE(container->tapRecognizer()->isEnabled());
}

TEST_F(MenuContainerTest, ATapOnTheVisibleStripClosesTheSideButATapOnTheSideDoesNot)
{
    show();
    container->showLeftController(true);
    env.fastForwardBy(DDMenuController::kSlideDuration);

    ASSERT_TRUE(driver.tapAt({ 100, 300 }));
    env.fastForwardBy(DDMenuController::kSlideDuration);
    EXPECT_EQ(centreX(), 200);
    EXPECT_TRUE(container->isShowSideView());

    ASSERT_TRUE(driver.tapAt({ 260, 300 }));
    env.fastForwardBy(DDMenuController::kSlideDuration);
    EXPECT_EQ(centreX(), 0);
    EXPECT_FALSE(container->isShowSideView());
}

TEST_F(MenuContainerTest, WithoutALeftSideThereIsNoButtonAndNoDragToTheRight)
{
    show();
    EXPECT_EQ(first->navigationItem().rightBarButtonItem(), ownButton) << "the screen's own button stays";
    container->setLeftViewController(nullptr);
    EXPECT_FALSE(first->navigationItem().leftBarButtonItem());
    EXPECT_EQ(first->navigationItem().rightBarButtonItem(), ownButton);
    container->showLeftController(true);
    EXPECT_EQ(centreX(), 0);
    EXPECT_FALSE(container->isShowSideView());

    finger({ 100, 300 }, { 250 }, 300);
    EXPECT_EQ(centreX(), 0);
    env.fastForwardBy(1);
    EXPECT_EQ(centreX(), 0);
    EXPECT_TRUE(container->view()->isUserInteractionEnabled());
}

TEST_F(MenuContainerTest, ADragBeginsOnlyBelowTheAdmissionSpeedToTheRight)
{
    show();
    finger({ 100, 300 }, { 220 }, 700);
    EXPECT_EQ(centreX(), 0) << "a brisk rightward drag does not begin";
    EXPECT_FALSE(leftInTree());

    // A slow drag follows the finger past the menu width, with the side view uncovered.
    auto& loop = pf::RunLoop::main();
    double t = loop.now();
    auto touch = pf::TouchSequence::begin({ 20, 300 }, t);
    for (int x = 25; x <= 270; x += 5) {
        t += 5.0 / 300;
        loop.advanceTo(t);
        touch->moveTo({ static_cast<double>(x), 300 }, t);
    }
    driver.settle();
    EXPECT_TRUE(leftInTree());
    EXPECT_TRUE(container->isShowingLeftView());
    EXPECT_GT(centreX(), 200) << "no clamp at the menu width";
    EXPECT_DOUBLE_EQ(centre()->layer().shadowOpacity(), 0.8);
    touch->end(t + 0.2);

    // Released past the span, a slow release has nothing left to travel: it still completes,
    // settles on the left side and gives touches back.
    EXPECT_FALSE(container->view()->isUserInteractionEnabled());
    ASSERT_TRUE(releaseAnimation());
    EXPECT_EQ(releaseAnimation()->duration, 0);
    driver.settle();
    EXPECT_TRUE(container->view()->isUserInteractionEnabled());
    EXPECT_EQ(centreX(), 200);
    EXPECT_TRUE(container->isShowSideView()) << "a side left open by a drag toggles like one opened by the button";
    EXPECT_EQ(centre()->layer().animationCount(), 0u);

    // A fast leftward drag passes and, faster than a fling, overshoots the centre first.
    env.fastForwardBy(DDMenuController::kSlideDuration);
    finger({ 260, 300 }, { 60 }, 2000);
    auto animation = releaseAnimation();
    ASSERT_TRUE(animation);
    ASSERT_EQ(animation->values.size(), 3u);
    EXPECT_NEAR(animation->duration, 200.0 / 2000 + 0.3, 1e-4);
    ASSERT_EQ(animation->keyTimes.size(), 3u);
    EXPECT_NEAR(animation->keyTimes[1], 0.25, 1e-4);
    EXPECT_EQ(animation->values[1].x, 160 - DDMenuController::kOvershoot);
    EXPECT_EQ(animation->values[2].x, 160);
    EXPECT_FALSE(animation->removedOnCompletion);
    EXPECT_TRUE(animation->fillForwards);
    env.fastForwardBy(0.2);
    EXPECT_FALSE(container->view()->isUserInteractionEnabled()) << "until the animation has ended";
    env.fastForwardBy(0.25);
    EXPECT_EQ(centreX(), 0);
    EXPECT_FALSE(leftInTree());
    EXPECT_FALSE(container->isShowSideView());
    EXPECT_TRUE(container->view()->isUserInteractionEnabled());
    EXPECT_EQ(centre()->layer().animationCount(), 0u);
}

TEST_F(MenuContainerTest, TheReleaseGoesWhereTheFingerLastMoved)
{
    show();
    // Out to 200 and back to 180: the last movement was leftwards, so the centre closes.
    finger({ 20, 300 }, { 220, 200 }, 300);
    auto animation = releaseAnimation();
    ASSERT_TRUE(animation);
    EXPECT_EQ(animation->values.size(), 2u) << "a slow release has no overshoot";
    EXPECT_EQ(animation->values.back().x, 160);
    env.fastForwardBy(DDMenuController::kSlideDuration);
    EXPECT_EQ(centreX(), 0);
    EXPECT_FALSE(container->isShowSideView());

    // Out to 60 and let go moving rightwards: the left side opens.
    finger({ 20, 300 }, { 80 }, 300);
    animation = releaseAnimation();
    ASSERT_TRUE(animation);
    EXPECT_DOUBLE_EQ(animation->duration, (200 - 60) / 200.0 * 0.3);
    EXPECT_EQ(animation->values.back().x, 160 + 200);
    env.fastForwardBy(animation->duration);
    EXPECT_EQ(centreX(), 200);
    EXPECT_TRUE(container->isShowSideView());
}

TEST_F(MenuContainerTest, APushWithTheRightSideOpenSlidesInUnderAStillPictureThenCloses)
{
    show();
    auto right = std::make_shared<pf::ViewController>();
    container->setRightViewController(right);

    auto plain = std::make_shared<AdaptedViewController>();
    container->pushViewController(plain, false);
    EXPECT_TRUE(navigation->topViewController() == plain && !container->stillPictureView()) << "with no side open, a plain push";
    navigation->popViewController(false);
    driver.settle();

    // The slide goes by the application frame (320 x 460 below the status bar): along x
    // upright, along y on its side. `slid` is the centre's frame the slide heads for.
    for (auto [orientation, slid] : { std::pair { pf::InterfaceOrientation::Portrait, pf::Rect { 0, 0, 320, 480 } },
             std::pair { pf::InterfaceOrientation::LandscapeLeft, pf::Rect { 320, -460, 320, 480 } } }) {
        SCOPED_TRACE(static_cast<int>(orientation));
        pf::Screen::main().setStatusBarOrientation(orientation);
        container->showRightController(false);
        ASSERT_TRUE(container->isShowingRightView() && centreX() == -200);

        auto pushed = std::make_shared<AdaptedViewController>();
        container->pushViewController(pushed, true);
        EXPECT_EQ(navigation->topViewController(), pushed) << "pushed at once, under the picture";
        auto still = container->stillPictureView();
        ASSERT_TRUE(still && still->image());
        EXPECT_EQ(container->view()->subviews().back(), still) << "over everything";
        EXPECT_EQ(still->frame(), container->view()->bounds());
        EXPECT_EQ(still->image()->pixelWidth(), 640) << "at the screen's scale";
        EXPECT_EQ(centre()->frame(), slid);
        // The centre comes from beyond the right edge and moves while the picture is up.
        pf::Point start = centre()->layer().presentationPosition();
        EXPECT_EQ(start, (pf::Point { 320 + 160, 240 }));
        env.fastForwardBy(DDMenuController::kPushSlideDuration / 2);
        EXPECT_EQ(container->stillPictureView(), still);
        pf::Point middle = centre()->layer().presentationPosition();
        EXPECT_TRUE(middle != start && middle != (pf::Point { slid.midX(), slid.midY() }));

        // Then the picture goes and the side is closed as by a push without the slide.
        env.fastForwardBy(DDMenuController::kPushSlideDuration / 2 + 0.01);
        EXPECT_FALSE(container->stillPictureView() || still->superview());
        EXPECT_EQ(centre()->frame(), (pf::Rect { 0, 0, 320, 480 }));
        EXPECT_FALSE(container->isShowingRightView() || container->isShowSideView() || right->view()->superview());
        EXPECT_EQ(centre()->layer().shadowOpacity(), 0);
        EXPECT_FALSE(container->tapRecognizer()->isEnabled());
        navigation->popViewController(false);
        driver.settle();
    }
    pf::Screen::main().setStatusBarOrientation(pf::InterfaceOrientation::Portrait);
}

}
