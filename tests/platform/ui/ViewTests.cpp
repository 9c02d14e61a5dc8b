#include "UITestSupport.h"

#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

using namespace pf;

namespace {

class ViewTests : public UITest { };

TEST_F(ViewTests, HierarchyKeepsOrderAndMovesViewsBetweenParents)
{
    auto a = std::make_shared<View>(Rect { 0, 0, 100, 100 });
    auto b = std::make_shared<View>(Rect { 0, 0, 100, 100 });
    auto x = std::make_shared<View>();
    auto y = std::make_shared<View>();
    auto z = std::make_shared<View>();
    a->addSubview(x);
    a->addSubview(y);
    a->insertSubview(z, 0);
    EXPECT_EQ(a->subviews(), (std::vector<std::shared_ptr<View>> { z, x, y }));
    a->bringSubviewToFront(z);
    EXPECT_EQ(a->subviews().back(), z);
    a->addSubview(x); // adding again moves it to the front
    EXPECT_EQ(a->subviews(), (std::vector<std::shared_ptr<View>> { y, z, x }));

    b->addSubview(y);
    EXPECT_EQ(y->superview(), b);
    EXPECT_EQ(a->subviews(), (std::vector<std::shared_ptr<View>> { z, x }));

    // A view cannot become its own ancestor.
    x->addSubview(a);
    EXPECT_EQ(a->superview(), nullptr);

    a->removeAllSubviews();
    EXPECT_TRUE(a->subviews().empty());
    EXPECT_EQ(x->superview(), nullptr);

    // A parent that dies leaves no dangling link in children kept elsewhere.
    auto kept = std::make_shared<View>();
    {
        auto parent = std::make_shared<View>();
        parent->addSubview(kept);
    }
    EXPECT_EQ(kept->superview(), nullptr);
}

TEST_F(ViewTests, ViewWithTagSearchesDepthFirstFromItself)
{
    auto root = std::make_shared<View>();
    auto first = std::make_shared<View>();
    auto deep = std::make_shared<View>();
    auto second = std::make_shared<View>();
    first->addSubview(deep);
    root->addSubview(first);
    root->addSubview(second);
    deep->setTag(7);
    second->setTag(7);
    root->setTag(1);
    EXPECT_EQ(root->viewWithTag(7), deep);
    EXPECT_EQ(root->viewWithTag(1), root);
    EXPECT_EQ(root->viewWithTag(99), nullptr);
}

TEST_F(ViewTests, HitTestingHonoursHiddenAlphaInteractionAndBounds)
{
    auto root = std::make_shared<View>(Rect { 0, 0, 320, 480 });
    auto back = std::make_shared<View>(Rect { 0, 0, 200, 200 });
    auto front = std::make_shared<View>(Rect { 50, 50, 100, 100 });
    auto child = std::make_shared<View>(Rect { 10, 10, 20, 20 });
    root->addSubview(back);
    root->addSubview(front);
    front->addSubview(child);

    EXPECT_EQ(root->hitTest({ 65, 65 }), child);
    EXPECT_EQ(root->hitTest({ 100, 100 }), front);
    EXPECT_EQ(root->hitTest({ 10, 10 }), back);
    EXPECT_EQ(root->hitTest({ 300, 400 }), root);
    EXPECT_EQ(root->hitTest({ 400, 10 }), nullptr);

    front->setHidden(true);
    EXPECT_EQ(root->hitTest({ 65, 65 }), back);
    front->setHidden(false);
    front->setAlpha(0.005);
    EXPECT_EQ(root->hitTest({ 65, 65 }), back);
    front->setAlpha(0.5);
    EXPECT_EQ(root->hitTest({ 65, 65 }), child);

    // Interaction off: the view and its subviews let the touch through to what lies below.
    front->setUserInteractionEnabled(false);
    EXPECT_EQ(root->hitTest({ 65, 65 }), back);
    front->setUserInteractionEnabled(true);
    child->setUserInteractionEnabled(false);
    EXPECT_EQ(root->hitTest({ 65, 65 }), front);

    // A subview sticking out of its parent cannot be touched outside the parent, clipping or not.
    auto outside = std::make_shared<View>(Rect { 90, 90, 60, 60 });
    front->addSubview(outside);
    EXPECT_EQ(root->hitTest({ 145, 145 }), outside);
    EXPECT_EQ(root->hitTest({ 190, 190 }), back);
}

TEST_F(ViewTests, CoordinatesFollowFramesAndBoundsOrigins)
{
    auto window = std::make_shared<Window>();
    auto scroller = std::make_shared<View>(Rect { 10, 20, 100, 100 });
    auto inner = std::make_shared<View>(Rect { 5, 200, 50, 50 });
    window->addSubview(scroller);
    scroller->addSubview(inner);
    EXPECT_EQ(inner->convertPointToWindow({ 1, 1 }), (Point { 16, 221 }));
    scroller->setBounds({ 0, 180, 100, 100 }); // scrolled down by 180
    EXPECT_EQ(inner->convertPointToWindow({ 0, 0 }), (Point { 15, 40 }));
    EXPECT_EQ(inner->convertPointFromWindow({ 15, 40 }), (Point { 0, 0 }));
    EXPECT_EQ(inner->convertPoint({ 0, 0 }, scroller.get()), (Point { 5, 200 }));
}

TEST_F(ViewTests, AutoresizingSharesTheChangeBetweenFlexibleParts)
{
    auto parent = std::make_shared<View>(Rect { 0, 0, 320, 480 });
    auto wide = std::make_shared<View>(Rect { 10, 10, 300, 40 });
    wide->setAutoresizingMask(Autoresizing::FlexibleWidth);
    auto pinnedRight = std::make_shared<View>(Rect { 270, 10, 40, 40 });
    pinnedRight->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
    auto fixed = std::make_shared<View>(Rect { 10, 60, 40, 40 });
    auto full = std::make_shared<View>(Rect { 0, 0, 320, 480 });
    full->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    for (auto& v : { wide, pinnedRight, fixed, full })
        parent->addSubview(v);

    parent->setFrame({ 0, 0, 480, 320 });
    EXPECT_EQ(wide->frame(), (Rect { 10, 10, 460, 40 }));
    EXPECT_EQ(pinnedRight->frame(), (Rect { 430, 10, 40, 40 }));
    EXPECT_EQ(fixed->frame(), (Rect { 10, 60, 40, 40 }));
    EXPECT_EQ(full->frame(), (Rect { 0, 0, 480, 320 }));
}

class OwnerScreen : public ViewController {
public:
    std::vector<std::string> handled;
    OwnerScreen()
    {
        onAction("didTouchButton:", [this](const std::shared_ptr<View>& sender) { handled.push_back("screen:" + std::to_string(sender->tag())); });
    }
};

TEST_F(ViewTests, ActionsWithoutTargetClimbTheResponderChainToTheOwningController)
{
    auto window = std::make_shared<Window>();
    auto screen = std::make_shared<OwnerScreen>();
    window->setRootViewController(screen);
    window->makeKeyAndVisible();

    // An overlay built before anyone owns it: its button has no target.
    auto overlay = std::make_shared<View>(Rect { 0, 0, 320, 480 });
    auto button = std::make_shared<Button>(ButtonType::Custom, Rect { 10, 10, 100, 40 });
    button->setTag(10);
    button->addTarget(nullptr, "didTouchButton:", ControlEvent::TouchUpInside);
    overlay->addSubview(button);
    screen->view()->addSubview(overlay);

    button->sendActionsForControlEvents(ControlEvent::TouchUpInside);
    EXPECT_EQ(screen->handled, (std::vector<std::string> { "screen:10" }));

    // A nearer responder that handles the name takes it first.
    std::vector<std::string> overlayHandled;
    overlay->onAction("didTouchButton:", [&](const std::shared_ptr<View>&) { overlayHandled.push_back("overlay"); });
    button->sendActionsForControlEvents(ControlEvent::TouchUpInside);
    EXPECT_EQ(overlayHandled.size(), 1u);
    EXPECT_EQ(screen->handled.size(), 1u);

    // The chain ends at the application responder.
    auto app = std::make_shared<Responder>();
    bool appGot = false;
    app->onAction("openSettings:", [&](const std::shared_ptr<View>&) { appGot = true; });
    Responder::setApplicationResponder(app);
    EXPECT_EQ(button->sendActionUpChain("openSettings:", button), app);
    EXPECT_TRUE(appGot);
    EXPECT_EQ(button->sendActionUpChain("nobodyHandlesThis:", button), nullptr);
}

TEST_F(ViewTests, ActionToATargetThatIsGoneIsDropped)
{
    auto button = std::make_shared<Button>();
    int calls = 0;
    {
        auto target = std::make_shared<Responder>();
        target->onAction("tap:", [&](const std::shared_ptr<View>&) { ++calls; });
        button->addTarget(target, "tap:", ControlEvent::TouchUpInside);
        button->sendActionsForControlEvents(ControlEvent::TouchUpInside);
    }
    button->sendActionsForControlEvents(ControlEvent::TouchUpInside);
    EXPECT_EQ(calls, 1);
}

TEST_F(ViewTests, WindowsStackByLevelAndPassTheKeyRoleOnWhenHidden)
{
    auto main = std::make_shared<Window>();
    auto banner = std::make_shared<Window>(Rect { 0, 0, 320, 20 });
    banner->setWindowLevel(WindowLevel::StatusBar + 1);
    EXPECT_TRUE(Window::windows().empty());

    banner->setHidden(false);
    main->makeKeyAndVisible();
    EXPECT_EQ(Window::windows(), (std::vector<std::shared_ptr<Window>> { main, banner }));
    EXPECT_EQ(Window::keyWindow(), main);

    std::shared_ptr<Window> hitWindow;
    auto hit = Window::hitTestScreen({ 5, 5 }, &hitWindow);
    EXPECT_EQ(hit, banner);
    EXPECT_EQ(hitWindow, banner);

    auto second = std::make_shared<Window>();
    second->makeKeyAndVisible();
    second->setHidden(true);
    EXPECT_EQ(Window::keyWindow(), main);
    main->setHidden(true);
    EXPECT_EQ(Window::keyWindow(), nullptr);
}

TEST_F(ViewTests, LabelSizeThatFitsUsesTheTextEngine)
{
    auto label = std::make_shared<Label>(Rect { 0, 0, 100, 20 });
    label->setFont(Font::system(10));
    label->setText("剩余礼包");
    EXPECT_EQ(label->sizeThatFits({ 100, 100 }).width, 40);
    label->setNumberOfLines(0);
    label->setText("剩余礼包剩余礼包剩余礼包剩余礼包");
    Size wrapped = label->sizeThatFits({ 100, 0 });
    EXPECT_EQ(wrapped.width, 100);
    EXPECT_GT(wrapped.height, 2 * TextMeasurer::lineHeight(Font::system(10)) - 1);
    label->sizeToFit();
    EXPECT_EQ(label->frame().size, wrapped);
}

}
