#include "UITestSupport.h"

#include "platform/ui/Button.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Nib.h"
#include "platform/ui/NibLoader.h"
#include "platform/ui/PopoverController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/Window.h"

using namespace pf;

namespace {

class Page : public ViewController {
public:
    explicit Page(std::string name, std::string nib = {}) : ViewController(std::move(nib)), m_name(std::move(name)) { }
    std::vector<std::string> log;
    std::shared_ptr<Label> titleOutlet;

    void loadView() override
    {
        log.push_back("loadView");
        ViewController::loadView();
    }
    void viewDidLoad() override { log.push_back("viewDidLoad"); }
    void viewWillAppear(bool) override { log.push_back("willAppear"); }
    void viewDidAppear(bool) override { log.push_back("didAppear"); }
    void viewWillDisappear(bool) override { log.push_back("willDisappear"); }
    void viewDidDisappear(bool) override { log.push_back("didDisappear"); }
    void setOutlet(const std::string& name, const std::shared_ptr<View>& view) override
    {
        if (name == "titleLabel")
            titleOutlet = std::dynamic_pointer_cast<Label>(view);
    }

private:
    std::string m_name;
};

class ViewControllerTests : public UITest {
protected:
    void SetUp() override
    {
        window = std::make_shared<Window>();
        root = std::make_shared<Page>("root");
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        root->log.clear();
    }
    void TearDown() override
    {
        for (auto& name : Nib::registeredNames())
            Nib::unregister(name);
    }

    std::shared_ptr<Window> window;
    std::shared_ptr<Page> root;
    Driver driver;
};

TEST_F(ViewControllerTests, TheViewLoadsOnFirstAccessOnly)
{
    auto page = std::make_shared<Page>("p");
    EXPECT_FALSE(page->isViewLoaded());
    auto v = page->view();
    EXPECT_EQ(page->view(), v);
    EXPECT_EQ(page->log, (std::vector<std::string> { "loadView", "viewDidLoad" }));
    EXPECT_EQ(v->frame(), (Rect { 0, 0, 320, 480 }));
    EXPECT_EQ(v->viewController(), page);
}

TEST_F(ViewControllerTests, AControllersOwnViewTakesTheSizeItsContainerIsGivenLater)
{
    // Views made before anyone knows where they go (the screen's size) follow the container
    // they are put in when it shrinks, as a side panel or a popover's content does.
    std::vector<std::pair<std::string, std::shared_ptr<ViewController>>> controllers {
        { "plain", std::make_shared<Page>("plain") },
        { "navigation", std::make_shared<NavigationController>(std::make_shared<Page>("top")) },
    };
    for (auto& [name, controller] : controllers) {
        SCOPED_TRACE(name);
        auto container = std::make_shared<View>(Rect { 0, 0, 320, 480 });
        auto view = controller->view();
        view->setFrame(container->bounds());
        container->addSubview(view);
        container->setFrame({ 0, 0, 200, 150 });
        EXPECT_EQ(view->frame(), (Rect { 0, 0, 200, 150 }));
    }
}

TEST_F(ViewControllerTests, AViewAddedByHandGetsNoAppearanceCallbacksButChildrenDo)
{
    auto page = std::make_shared<Page>("tab");
    root->view()->addSubview(page->view());
    EXPECT_EQ(page->log, (std::vector<std::string> { "loadView", "viewDidLoad" }));
    // The owner forwards by hand when it wants to.
    page->viewWillAppear(true);
    EXPECT_EQ(page->log.back(), "willAppear");

    // A real child whose view lies in the parent's view follows the parent.
    window->setHidden(true);
    root->log.clear();
    auto child = std::make_shared<Page>("child");
    root->addChildViewController(child);
    root->view()->addSubview(child->view());
    child->log.clear();
    window->makeKeyAndVisible();
    EXPECT_EQ(child->log, (std::vector<std::string> { "willAppear", "didAppear" }));
    EXPECT_EQ(root->log, (std::vector<std::string> { "willAppear", "didAppear" }));
    EXPECT_TRUE(page->log.size() == 3); // the hand-added page still heard nothing more
    child->removeFromParentViewController();
    EXPECT_EQ(child->parentViewController(), nullptr);
}

TEST_F(ViewControllerTests, ModalPresentationCoversTheWindowAndDismissalRestoresIt)
{
    auto modal = std::make_shared<Page>("modal");
    bool presented = false;
    root->presentViewController(modal, true, [&] { presented = true; });
    EXPECT_EQ(root->presentedViewController(), modal);
    EXPECT_EQ(modal->presentingViewController(), root);
    EXPECT_EQ(modal->log, (std::vector<std::string> { "loadView", "viewDidLoad", "willAppear" }));
    EXPECT_EQ(root->log, (std::vector<std::string> { "willDisappear" }));
    EXPECT_FALSE(presented);
    driver.advance(ViewController::TransitionDuration);
    EXPECT_TRUE(presented);
    EXPECT_EQ(modal->log.back(), "didAppear");
    EXPECT_EQ(modal->view()->superview(), window);

    // A second presentation from the same controller is refused.
    root->presentViewController(std::make_shared<Page>("other"), false);
    EXPECT_EQ(root->presentedViewController(), modal);

    // Dismissal sent to the presented controller goes to its presenter.
    modal->dismissViewController(false);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(modal->view()->superview(), nullptr);
    EXPECT_EQ(root->log, (std::vector<std::string> { "willDisappear", "didDisappear", "willAppear", "didAppear" }));

    // A controller whose view is not on screen cannot present.
    auto loose = std::make_shared<Page>("loose");
    loose->presentViewController(std::make_shared<Page>("x"), false);
    EXPECT_EQ(loose->presentedViewController(), nullptr);
}

TEST_F(ViewControllerTests, LayoutsBuildViewsWithOutletsAndActions)
{
    Nib::registerNib("LoginPage", [](NibLoader& nib) {
        auto view = std::make_shared<View>(Rect { 0, 0, 320, 480 });
        auto title = nib.outlet("titleLabel", std::make_shared<Label>(Rect { 0, 0, 320, 40 }));
        title->setText("登录");
        view->addSubview(title);
        auto login = nib.outlet("loginButton", std::make_shared<Button>(ButtonType::Custom, Rect { 0, 100, 320, 44 }));
        login->setTitle("Login");
        nib.action(login, "login:");
        auto help = std::make_shared<Button>(ButtonType::Custom, Rect { 0, 200, 320, 44 });
        help->setTitle("Help");
        nib.chainAction(help, "help:");
        view->addSubview(login);
        view->addSubview(help);
        nib.setOwnerView(view);
    });
    auto page = std::make_shared<Page>("login", "LoginPage");
    int logins = 0, helps = 0;
    page->onAction("login:", [&](const std::shared_ptr<View>&) { ++logins; });
    page->onAction("help:", [&](const std::shared_ptr<View>&) { ++helps; });
    root->presentViewController(page, false);

    ASSERT_TRUE(page->titleOutlet);
    EXPECT_EQ(page->titleOutlet->text(), "登录");
    EXPECT_EQ(driver.findByOutlet("loginButton")->frame().y(), 100);
    EXPECT_TRUE(driver.tapText("Login"));
    EXPECT_TRUE(driver.tapText("Help")); // no target: up the chain to the owner
    EXPECT_EQ(logins, 1);
    EXPECT_EQ(helps, 1);
}

TEST_F(ViewControllerTests, CellLayoutsGiveTheirFirstCellAndUnknownNamesFailClearly)
{
    class GiftCell : public TableViewCell {
    public:
        std::shared_ptr<Label> title;
    };
    Nib::registerNib("GiftCell", [](NibLoader& nib) {
        nib.addTopLevel(std::make_shared<View>()); // a stray view before the cell
        auto cell = std::make_shared<GiftCell>();
        cell->title = nib.outlet("title", std::make_shared<Label>(), cell);
        cell->contentView()->addSubview(cell->title);
        nib.addTopLevel(cell);
    });
    NibContents contents = Nib::instantiate("GiftCell");
    EXPECT_EQ(contents.topLevelObjects.size(), 2u);
    auto cell = contents.firstOfType<GiftCell>();
    ASSERT_TRUE(cell);
    EXPECT_EQ(contents.outlet<Label>("title"), cell->title);
    // Each load builds new objects.
    EXPECT_NE(Nib::instantiate("GiftCell").firstOfType<GiftCell>(), cell);

    try {
        Nib::instantiate("NoSuchCell");
        FAIL() << "an unknown layout must not load";
    } catch (const NibError& e) {
        EXPECT_EQ(e.name(), "NibNotFound");
        EXPECT_NE(std::string(e.what()).find("NoSuchCell"), std::string::npos);
    }
    auto page = std::make_shared<Page>("p", "Missing");
    EXPECT_THROW(page->view(), NibError);
    EXPECT_FALSE(page->isViewLoaded());
}

TEST_F(ViewControllerTests, APopoverClosesOnATapOutsideButNotOnPassThroughViews)
{
    class Closing : public PopoverControllerDelegate {
    public:
        int closed { 0 };
        bool allow { true };
        bool popoverControllerShouldDismissPopover(PopoverController&) override { return allow; }
        void popoverControllerDidDismissPopover(PopoverController&) override { ++closed; }
    };
    auto toolbarButton = std::make_shared<Button>(ButtonType::Custom, Rect { 0, 440, 100, 40 });
    toolbarButton->setTitle("Tools");
    int toolTaps = 0;
    toolbarButton->addAction("t", [&](const std::shared_ptr<Control>&) { ++toolTaps; }, ControlEvent::TouchUpInside);
    root->view()->addSubview(toolbarButton);
    auto other = std::make_shared<Button>(ButtonType::Custom, Rect { 200, 440, 100, 40 });
    root->view()->addSubview(other);

    auto content = std::make_shared<Page>("menu");
    content->setPreferredContentSize({ 200, 150 });
    auto popover = std::make_shared<PopoverController>(content);
    auto delegate = std::make_shared<Closing>();
    popover->setDelegate(delegate);
    popover->setPassthroughViews({ toolbarButton });
    popover->presentPopoverFromRect({ 10, 10, 40, 40 }, root->view(), PopoverArrowDirection::Any, true);
    ASSERT_TRUE(popover->isPopoverVisible());
    EXPECT_EQ(popover->popoverArrowDirection(), PopoverArrowDirection::Up);
    EXPECT_EQ(popover->panelView()->frame(), (Rect { 0, 63, 200, 150 }));
    EXPECT_EQ(content->log, (std::vector<std::string> { "loadView", "viewDidLoad", "willAppear", "didAppear" }));

    EXPECT_TRUE(driver.tap(toolbarButton));
    EXPECT_EQ(toolTaps, 1);
    EXPECT_TRUE(popover->isPopoverVisible());

    // The other button is covered by the layer around the popover; a tap there closes it.
    EXPECT_EQ(driver.tap(other).outcome, TouchResult::Outcome::Covered);
    Point there = other->frameInWindow().center();
    delegate->allow = false;
    driver.tapAt(there);
    EXPECT_TRUE(popover->isPopoverVisible());
    delegate->allow = true;
    driver.tapAt(there);
    EXPECT_FALSE(popover->isPopoverVisible());
    EXPECT_EQ(delegate->closed, 1);
    EXPECT_EQ(content->log.back(), "didDisappear");
    EXPECT_TRUE(driver.tap(other));
}

}
