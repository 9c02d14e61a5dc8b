#include "UITestSupport.h"

#include "platform/foundation/Device.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Window.h"

#include <algorithm>

using namespace pf;

namespace {

std::vector<std::string> journal;

class Page : public ViewController {
public:
    explicit Page(std::string name) : m_name(std::move(name)) { setTitle(m_name); }
    ~Page() override { journal.push_back(m_name + " gone"); }

    void viewDidLoad() override { journal.push_back(m_name + " didLoad"); }
    void viewWillAppear(bool) override { journal.push_back(m_name + " willAppear"); }
    void viewDidAppear(bool) override { journal.push_back(m_name + " didAppear"); }
    void viewWillDisappear(bool) override { journal.push_back(m_name + " willDisappear"); }
    void viewDidDisappear(bool) override
    {
        journal.push_back(m_name + " didDisappear" + (navigationController() ? "" : " (unlinked)"));
    }

private:
    std::string m_name;
};

class NavigationTests : public UITest {
protected:
    void SetUp() override
    {
        journal.clear();
        root = std::make_shared<Page>("A");
        nav = std::make_shared<NavigationController>(root);
        window = std::make_shared<Window>();
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
        journal.clear();
    }

    std::shared_ptr<Window> window;
    std::shared_ptr<Page> root;
    std::shared_ptr<NavigationController> nav;
    Driver driver;
};

TEST_F(NavigationTests, AnimatedPushSendsTheCallbacksInOrderAndIgnoresTouchesMeanwhile)
{
    auto b = std::make_shared<Page>("B");
    nav->pushViewController(b, true);
    EXPECT_EQ(nav->viewControllers().size(), 2u);
    EXPECT_EQ(b->navigationController(), nav);
    EXPECT_EQ(journal, (std::vector<std::string> { "A willDisappear", "B didLoad", "B willAppear" }));
    EXPECT_EQ(driver.tapText("B").outcome, TouchResult::Outcome::Ignored);

    driver.advance(NavigationController::TransitionDuration);
    EXPECT_EQ(journal, (std::vector<std::string> { "A willDisappear", "B didLoad", "B willAppear", "A didDisappear", "B didAppear" }));
    EXPECT_FALSE(root->view()->superview());
    EXPECT_TRUE(driver.isVisible(*b->view()));
    EXPECT_FALSE(nav->isInTransition());
}

TEST_F(NavigationTests, PoppedControllersLoseTheirNavigationControllerAndAreReleased)
{
    nav->pushViewController(std::make_shared<Page>("B"), false);
    nav->pushViewController(std::make_shared<Page>("C"), false);
    std::weak_ptr<ViewController> c = nav->topViewController();
    journal.clear();

    auto popped = nav->popViewController(true);
    EXPECT_EQ(popped, c.lock());
    EXPECT_EQ(popped->navigationController(), nav); // still linked while it leaves
    driver.advance(1);
    EXPECT_EQ(journal, (std::vector<std::string> { "C willDisappear", "B willAppear", "C didDisappear (unlinked)", "B didAppear" }));
    EXPECT_EQ(popped->navigationController(), nullptr);
    popped.reset();
    EXPECT_TRUE(c.expired());
    EXPECT_EQ(journal.back(), "C gone");

    // The root cannot be popped.
    nav->popViewController(false);
    EXPECT_EQ(nav->popViewController(false), nullptr);
    EXPECT_EQ(nav->viewControllers().size(), 1u);
}

TEST_F(NavigationTests, PopToRootSkipsTheMiddleControllersCallbacks)
{
    nav->pushViewController(std::make_shared<Page>("B"), false);
    nav->pushViewController(std::make_shared<Page>("C"), false);
    journal.clear();
    auto popped = nav->popToRootViewController(false);
    ASSERT_EQ(popped.size(), 2u);
    EXPECT_EQ(journal, (std::vector<std::string> { "C willDisappear", "A willAppear", "C didDisappear (unlinked)", "A didAppear" }));
    EXPECT_EQ(popped[0]->navigationController(), nullptr);
    EXPECT_EQ(nav->topViewController(), root);
    EXPECT_EQ(root->view()->superview()->superview(), nav->view());
}

TEST_F(NavigationTests, APushDuringATransitionFinishesTheRunningOneFirst)
{
    auto b = std::make_shared<Page>("B");
    auto c = std::make_shared<Page>("C");
    nav->pushViewController(b, true);
    nav->pushViewController(c, true);
    EXPECT_EQ(journal, (std::vector<std::string> { "A willDisappear", "B didLoad", "B willAppear", "A didDisappear", "B didAppear",
                           "B willDisappear", "C didLoad", "C willAppear" }));
    driver.advance(1);
    EXPECT_EQ(journal.back(), "C didAppear");
    EXPECT_FALSE(b->view()->superview());
    EXPECT_EQ(nav->viewControllers().size(), 3u);

    // The same controller twice is refused.
    nav->pushViewController(c, false);
    EXPECT_EQ(nav->viewControllers().size(), 3u);
}

TEST_F(NavigationTests, AControllerOffScreenGetsNoCallbacksUntilItsNavigationControllerAppears)
{
    auto a = std::make_shared<Page>("X");
    auto offscreen = std::make_shared<NavigationController>(a);
    offscreen->view();
    offscreen->pushViewController(std::make_shared<Page>("Y"), false);
    EXPECT_EQ(journal, (std::vector<std::string> { "X didLoad", "Y didLoad" }));
    journal.clear();
    window->setRootViewController(offscreen);
    EXPECT_EQ(journal, (std::vector<std::string> { "A willDisappear", "A didDisappear", "Y willAppear", "Y didAppear" }));
}

TEST_F(NavigationTests, TheBarShowsTheTopItemsTitleItemsAndBackButton)
{
    driver.settle();
    EXPECT_TRUE(driver.findByText("A"));
    auto b = std::make_shared<Page>("B");
    nav->pushViewController(b, false);
    // No left item: a back button with the title of the controller below pops.
    auto back = nav->navigationBar()->backButton();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->currentTitle(), "A");
    ASSERT_TRUE(driver.tap(back));
    driver.advance(1);
    EXPECT_EQ(nav->topViewController(), root);

    // A custom left view replaces the back button and handles its own taps.
    nav->pushViewController(b, false);
    auto custom = std::make_shared<View>(Rect { 0, 0, 50, 44 });
    auto button = std::make_shared<Button>(ButtonType::Custom, custom->bounds());
    int taps = 0;
    button->addAction("pop", [&](const std::shared_ptr<Control>&) { ++taps; }, ControlEvent::TouchUpInside);
    custom->addSubview(button);
    b->navigationItem().setLeftBarButtonItem(std::make_shared<BarButtonItem>(custom));
    EXPECT_EQ(nav->navigationBar()->backButton(), nullptr);
    EXPECT_EQ(custom->superview(), nav->navigationBar());
    EXPECT_TRUE(driver.tap(button));
    EXPECT_EQ(taps, 1);

    // A titled right item becomes a button sending its action to its target.
    auto target = std::make_shared<Responder>();
    int sent = 0;
    target->onAction("showRight:", [&](const std::shared_ptr<View>&) { ++sent; });
    b->navigationItem().setRightBarButtonItem(std::make_shared<BarButtonItem>("More", BarButtonItemStyle::Bordered, target, "showRight:"));
    EXPECT_TRUE(driver.tapText("More"));
    EXPECT_EQ(sent, 1);
}

TEST_F(NavigationTests, ContentStartsBelowTheBarUnlessItExtendsUnderIt)
{
    auto b = std::make_shared<Page>("B");
    b->setEdgesForExtendedLayout(RectEdge::None);
    nav->pushViewController(b, false);
    EXPECT_EQ(b->view()->frame(), (Rect { 0, 64, 320, 416 }));
    EXPECT_EQ(root->view()->frame().y(), 0); // extends under the bar by default
    nav->setNavigationBarHidden(true);
    EXPECT_EQ(b->view()->frame(), (Rect { 0, 0, 320, 480 }));
    EXPECT_FALSE(driver.isVisible(*nav->navigationBar()));
}


// Every controller extends under the bars by default. From system 7 on it lies under them; an
// older system has no extended layout, so its content starts below the status bar and the bar.
struct OlderLook {
    const char* version;
    double topWithBar;
    double topWithoutBar;
};

class NavigationOnSystemVersion : public UITest, public ::testing::WithParamInterface<OlderLook> {
protected:
    NavigationOnSystemVersion()
    {
        Device::current().setSystemVersion(GetParam().version);
        root = std::make_shared<Page>("A");
        top = std::make_shared<Button>(ButtonType::Custom, Rect { 0, 20, 100, 20 });
        top->setTitle("Top");
        top->addAction("count", [this](const std::shared_ptr<Control>&) { ++taps; }, ControlEvent::TouchUpInside);
        root->view()->addSubview(top);
        nav = std::make_shared<NavigationController>(root);
        window = std::make_shared<Window>();
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
    }
    ~NavigationOnSystemVersion() override { Device::current().setSystemVersion(previousVersion); }

    Rect below(double top) const { return { 0, top, 320, 480 - top }; }

    std::string previousVersion = Device::current().systemVersion();
    std::shared_ptr<Window> window;
    std::shared_ptr<Page> root;
    std::shared_ptr<Button> top;
    int taps = 0;
    std::shared_ptr<NavigationController> nav;
    Driver driver;
};

TEST_P(NavigationOnSystemVersion, AControllerExtendingUnderTheTopLiesUnderTheBarsOnlyFromSevenOn)
{
    const auto& look = GetParam();
    ASSERT_TRUE(root->edgesForExtendedLayout() & RectEdge::Top);
    EXPECT_EQ(root->view()->frame(), below(look.topWithBar));
    auto tapped = driver.tap(top);
    EXPECT_EQ(tapped.outcome, look.topWithBar > 0 ? TouchResult::Outcome::Delivered : TouchResult::Outcome::Covered) << tapped.reason;

    // Pushed and popped controllers are laid out by the same rule, during the transition too.
    auto b = std::make_shared<Page>("B");
    nav->pushViewController(b, true);
    EXPECT_EQ(b->view()->frame(), below(look.topWithBar));
    driver.advance(NavigationController::TransitionDuration);
    nav->popViewController(true);
    EXPECT_EQ(root->view()->frame(), below(look.topWithBar));
    driver.advance(NavigationController::TransitionDuration);

    nav->setNavigationBarHidden(true);
    EXPECT_EQ(root->view()->frame(), below(look.topWithoutBar));
    nav->setNavigationBarHidden(false);
    EXPECT_EQ(root->view()->frame(), below(look.topWithBar));

    // A controller that asks to stay clear of the bars is laid below them on either system.
    auto c = std::make_shared<Page>("C");
    c->setEdgesForExtendedLayout(RectEdge::None);
    nav->pushViewController(c, false);
    EXPECT_EQ(c->view()->frame(), below(64));
}

INSTANTIATE_TEST_SUITE_P(Versions, NavigationOnSystemVersion,
    ::testing::Values(OlderLook { "6.1", 64, 20 }, OlderLook { "7.0", 0, 0 }),
    [](const auto& info) {
        std::string name = info.param.version;
        std::replace(name.begin(), name.end(), '.', '_');
        return "System" + name;
    });

}
