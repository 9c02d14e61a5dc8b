#include "UITestSupport.h"

#include "platform/foundation/Log.h"
#include "platform/graphics/Image.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/Driver.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"

using namespace pf;

namespace {

std::shared_ptr<Image> named(const std::string& name, int w = 20, int h = 20)
{
    auto image = std::make_shared<Image>(w, h, 1);
    image->setName(name);
    return image;
}

class ControlTests : public UITest {
protected:
    void SetUp() override
    {
        window = std::make_shared<Window>();
        window->makeKeyAndVisible();
    }
    std::shared_ptr<Window> window;
    Driver driver;
};

TEST_F(ControlTests, PerStateValuesFallBackToNormal)
{
    auto button = std::make_shared<Button>(ButtonType::Custom, Rect { 0, 0, 100, 40 });
    button->setTitle("预约");
    button->setTitleColor(Color::black());
    button->setTitle("已预约", ControlState::Selected);
    button->setBackgroundImage(named("bg.png"));
    button->setImage(named("off.png"), ControlState::Disabled);

    EXPECT_EQ(button->currentTitle(), "预约");
    EXPECT_EQ(button->titleLabel()->text(), "预约");
    button->setSelected(true);
    EXPECT_EQ(button->currentTitle(), "已预约");
    EXPECT_EQ(button->titleLabel()->text(), "已预约");
    EXPECT_EQ(button->currentTitleColor(), Color::black()); // no selected colour: the normal one
    button->setHighlighted(true);
    EXPECT_EQ(button->currentTitle(), "已预约"); // selected and highlighted: the selected one
    button->setSelected(false);
    button->setHighlighted(false);
    button->setEnabled(false);
    EXPECT_EQ(button->currentImage()->name(), "off.png");
    EXPECT_EQ(button->currentBackgroundImage()->name(), "bg.png");
    EXPECT_EQ(button->currentTitle(), "预约");
}

TEST_F(ControlTests, TheTitleIsCentredAndSizeThatFitsMeasuresIt)
{
    auto button = std::make_shared<Button>(ButtonType::Custom, Rect { 0, 0, 100, 40 });
    button->setTitleFont(Font::system(15));
    button->setTitle("领取");
    Rect label = button->titleLabel()->frame();
    EXPECT_EQ(label.width(), 30);
    EXPECT_DOUBLE_EQ(label.midX(), 50);
    EXPECT_DOUBLE_EQ(label.midY(), 20);
    button->setImage(named("icon.png", 16, 16));
    EXPECT_EQ(button->sizeThatFits({}).width, 46);
    EXPECT_DOUBLE_EQ(button->imageView()->frame().maxX(), button->titleLabel()->frame().x());
    // Resizing the button keeps the title centred.
    button->setFrame({ 0, 0, 200, 40 });
    EXPECT_DOUBLE_EQ(button->imageView()->frame().x() + 23, 100);
}

TEST_F(ControlTests, LiftingTheFingerOutsideSendsTouchUpOutside)
{
    auto button = std::make_shared<Button>(ButtonType::Custom, Rect { 100, 100, 100, 40 });
    window->addSubview(button);
    std::vector<std::string> events;
    button->addAction("down", [&](const std::shared_ptr<Control>& c) { events.push_back(std::string("down") + (c->isHighlighted() ? "+" : "")); }, ControlEvent::TouchDown);
    button->addAction("inside", [&](const std::shared_ptr<Control>&) { events.push_back("upInside"); }, ControlEvent::TouchUpInside);
    button->addAction("outside", [&](const std::shared_ptr<Control>&) { events.push_back("upOutside"); }, ControlEvent::TouchUpOutside);
    driver.dragView(button, { 0, 100 });
    EXPECT_EQ(events, (std::vector<std::string> { "down+", "upOutside" }));
    EXPECT_FALSE(button->isHighlighted());

    // Removing the action by name leaves the others.
    button->removeTarget(nullptr, "outside");
    EXPECT_EQ(button->actionsForEvent(ControlEvent::TouchUpOutside).size(), 0u);
    EXPECT_EQ(button->actionsForEvent(ControlEvent::TouchUpInside), (std::vector<std::string> { "inside" }));
}

TEST_F(ControlTests, AnActionWithoutTargetStartsAtTheFirstResponder)
{
    auto screen = std::make_shared<View>(Rect { 0, 0, 320, 480 });
    window->addSubview(screen);
    auto field = std::make_shared<TextField>(Rect { 0, 0, 100, 30 });
    auto fieldBox = std::make_shared<View>(Rect { 0, 0, 320, 100 });
    fieldBox->addSubview(field);
    screen->addSubview(fieldBox);
    auto button = std::make_shared<Button>(ButtonType::Custom, Rect { 0, 200, 100, 40 });
    button->addTarget(nullptr, "submit:", ControlEvent::TouchUpInside);
    screen->addSubview(button);

    std::vector<std::string> got;
    fieldBox->onAction("submit:", [&](const std::shared_ptr<View>& sender) { got.push_back(sender == button ? "box" : "?"); });
    screen->onAction("submit:", [&](const std::shared_ptr<View>&) { got.push_back("screen"); });

    driver.tap(button);
    driver.tap(field); // now the field is first responder: the action climbs from it
    driver.tap(button);
    EXPECT_EQ(got, (std::vector<std::string> { "screen", "box" }));

    // An action nobody takes is logged, not dropped without a word.
    button->addTarget(nullptr, "nobodyTakesThis:", ControlEvent::TouchUpInside);
    Log::startCapture();
    driver.tap(button);
    auto logged = Log::captured();
    Log::stopCapture();
    ASSERT_FALSE(logged.empty());
    EXPECT_NE(logged.back().find("nobodyTakesThis:"), std::string::npos);
}

TEST_F(ControlTests, PageControlStepsByTappingEitherHalfWithinItsPages)
{
    auto dots = std::make_shared<PageControl>(Rect { 0, 0, 100, 36 });
    dots->setNumberOfPages(3);
    window->addSubview(dots);
    int changes = 0;
    dots->addAction("changed", [&](const std::shared_ptr<Control>&) { ++changes; }, ControlEvent::ValueChanged);
    driver.tapAt({ 80, 18 });
    driver.tapAt({ 80, 18 });
    driver.tapAt({ 80, 18 }); // already on the last page
    EXPECT_EQ(dots->currentPage(), 2);
    EXPECT_EQ(changes, 2);
    driver.tapAt({ 10, 18 });
    EXPECT_EQ(dots->currentPage(), 1);
    dots->setCurrentPage(7);
    EXPECT_EQ(dots->currentPage(), 2);
    dots->setNumberOfPages(1);
    EXPECT_EQ(dots->currentPage(), 0);
}

TEST_F(ControlTests, ActivityIndicatorHidesWhenStoppedAndResizesAboutItsCentre)
{
    auto spinner = std::make_shared<ActivityIndicatorView>(ActivityIndicatorStyle::WhiteLarge);
    window->addSubview(spinner);
    EXPECT_FALSE(driver.isVisible(*spinner));
    spinner->startAnimating();
    EXPECT_TRUE(driver.isVisible(*spinner));
    EXPECT_NE(driver.dump().find("ActivityIndicatorView frame=(0,0,37,37) animating"), std::string::npos);
    spinner->setHidesWhenStopped(false);
    spinner->stopAnimating();
    EXPECT_TRUE(driver.isVisible(*spinner));
    spinner->setStyle(ActivityIndicatorStyle::Gray);
    EXPECT_EQ(spinner->frame().size, (Size { 20, 20 }));
    EXPECT_EQ(spinner->center(), (Point { 18.5, 18.5 }));
}

TEST_F(ControlTests, ImageViewsTakeTheImageSizeAndIgnoreTouchesByDefault)
{
    auto image = named("search.png", 38, 38);
    image->setScale(2);
    auto view = std::make_shared<ImageView>(image);
    EXPECT_EQ(view->frame(), (Rect { 0, 0, 19, 19 }));
    window->addSubview(view);
    EXPECT_EQ(Window::hitTestScreen({ 5, 5 }), window);
    view->setUserInteractionEnabled(true);
    EXPECT_EQ(Window::hitTestScreen({ 5, 5 }), view);
    view->setImage(nullptr);
    view->sizeToFit();
    EXPECT_EQ(view->frame().size, (Size { 0, 0 }));
}

}
