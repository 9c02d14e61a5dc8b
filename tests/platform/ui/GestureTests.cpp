#include "UITestSupport.h"

#include "platform/ui/Button.h"
#include "platform/ui/Driver.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/Window.h"

#include <cmath>

using namespace pf;

namespace {

const char* name(GestureState s)
{
    switch (s) {
    case GestureState::Possible: return "possible";
    case GestureState::Began: return "began";
    case GestureState::Changed: return "changed";
    case GestureState::Ended: return "ended";
    case GestureState::Cancelled: return "cancelled";
    case GestureState::Failed: return "failed";
    }
    return "?";
}

class Gate : public GestureRecognizerDelegate {
public:
    bool begin { true };
    bool receive { true };
    bool together { false };
    Point velocityAtBegin;
    bool gestureRecognizerShouldBegin(GestureRecognizer& r) override
    {
        if (auto pan = dynamic_cast<PanGestureRecognizer*>(&r))
            velocityAtBegin = pan->velocityInView(nullptr);
        return begin;
    }
    bool gestureRecognizerShouldReceiveTouch(GestureRecognizer&, const Touch&) override { return receive; }
    bool gestureRecognizerShouldRecognizeSimultaneously(GestureRecognizer&, GestureRecognizer&) override { return together; }
};

class GestureTests : public UITest {
protected:
    void SetUp() override
    {
        window = std::make_shared<Window>();
        window->makeKeyAndVisible();
        container = std::make_shared<View>(Rect { 0, 0, 320, 480 });
        window->addSubview(container);
    }

    std::shared_ptr<Window> window;
    std::shared_ptr<View> container;
    Driver driver;
};

TEST_F(GestureTests, ATapIsRecognisedOnLiftAndControlsKeepTheirOwnTaps)
{
    int taps = 0;
    auto tap = std::make_shared<TapGestureRecognizer>([&](GestureRecognizer& r) {
        ++taps;
        EXPECT_EQ(r.locationInView(r.view().get()), (Point { 160, 240 }));
    });
    container->addGestureRecognizer(tap);
    ASSERT_TRUE(driver.tap(container));
    EXPECT_EQ(taps, 1);

    auto button = std::make_shared<Button>(ButtonType::Custom, Rect { 10, 10, 100, 40 });
    int pressed = 0;
    button->addAction("press", [&](const std::shared_ptr<Control>&) { ++pressed; }, ControlEvent::TouchUpInside);
    container->addSubview(button);
    driver.tap(button);
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(taps, 1);

    // A disabled recogniser or one whose delegate refuses the touch sees nothing.
    auto gate = std::make_shared<Gate>();
    tap->setDelegate(gate);
    gate->receive = false;
    driver.tap(container);
    gate->receive = true;
    tap->setEnabled(false);
    driver.tap(container);
    EXPECT_EQ(taps, 1);
}

TEST_F(GestureTests, ARecognisedTapCancelsTheTouchesOfTheViewUnder)
{
    struct Toucher : View {
        using View::View;
        std::vector<std::string> log;
        void touchesBegan(const Touch&) override { log.push_back("began"); }
        void touchesEnded(const Touch&) override { log.push_back("ended"); }
        void touchesCancelled(const Touch&) override { log.push_back("cancelled"); }
    };
    auto inner = std::make_shared<Toucher>(Rect { 0, 0, 100, 100 });
    container->addSubview(inner);
    auto tap = std::make_shared<TapGestureRecognizer>([](GestureRecognizer&) { });
    container->addGestureRecognizer(tap);
    driver.tap(inner);
    EXPECT_EQ(inner->log, (std::vector<std::string> { "began", "cancelled" }));

    inner->log.clear();
    tap->setCancelsTouchesInView(false);
    driver.tap(inner);
    EXPECT_EQ(inner->log, (std::vector<std::string> { "began", "ended" }));
}

TEST_F(GestureTests, APanReportsItsStatesTranslationAndVelocity)
{
    std::vector<std::string> states;
    Point lastTranslation, endVelocity;
    auto pan = std::make_shared<PanGestureRecognizer>([&](GestureRecognizer& r) {
        auto& p = static_cast<PanGestureRecognizer&>(r);
        states.push_back(name(r.state()));
        lastTranslation = p.translationInView(container.get());
        if (r.state() == GestureState::Ended)
            endVelocity = p.velocityInView(container.get());
    });
    container->addGestureRecognizer(pan);
    Driver::DragOptions fling;
    fling.fling = true;
    fling.duration = 0.25;
    ASSERT_TRUE(driver.drag({ 100, 200 }, { 150, 0 }, fling));
    ASSERT_GE(states.size(), 3u);
    EXPECT_EQ(states.front(), "began");
    EXPECT_EQ(states[1], "changed");
    EXPECT_EQ(states.back(), "ended");
    EXPECT_NEAR(lastTranslation.x, 150, 1e-6);
    EXPECT_NEAR(endVelocity.x, 600, 1); // 150 points in a quarter second
    EXPECT_EQ(pan->state(), GestureState::Possible); // ready for the next touch

    // Holding still before lifting leaves no velocity.
    driver.drag({ 100, 200 }, { 150, 0 });
    EXPECT_NEAR(endVelocity.x, 0, 1e-6);
}

TEST_F(GestureTests, SetTranslationRebasesTheMeasurement)
{
    std::vector<double> xs;
    auto pan = std::make_shared<PanGestureRecognizer>();
    pan->addTarget([&](GestureRecognizer& r) {
        auto& p = static_cast<PanGestureRecognizer&>(r);
        xs.push_back(p.translationInView(nullptr).x);
        p.setTranslation({ 0, 0 }, nullptr);
    });
    container->addGestureRecognizer(pan);
    driver.drag({ 100, 200 }, { 120, 0 });
    // Each report sees only the movement since the previous one.
    double sum = 0;
    for (double x : xs)
        sum += x;
    EXPECT_NEAR(sum, 120, 1e-6);
    EXPECT_LT(xs.back(), 20);
}

TEST_F(GestureTests, TheDelegateMayRefuseToBeginWithTheVelocityKnown)
{
    auto gate = std::make_shared<Gate>();
    gate->begin = false;
    int reports = 0;
    auto pan = std::make_shared<PanGestureRecognizer>([&](GestureRecognizer&) { ++reports; });
    pan->setDelegate(gate);
    container->addGestureRecognizer(pan);
    Driver::DragOptions fast;
    fast.duration = 0.1;
    driver.drag({ 100, 200 }, { 100, 0 }, fast);
    EXPECT_EQ(reports, 0);
    EXPECT_GT(gate->velocityAtBegin.x, 600);
}

TEST_F(GestureTests, AScrollViewTakesDragsAlongItsAxisAndLeavesTheOthersToAPanAbove)
{
    int panReports = 0;
    auto pan = std::make_shared<PanGestureRecognizer>([&](GestureRecognizer&) { ++panReports; });
    container->addGestureRecognizer(pan);
    auto list = std::make_shared<ScrollView>(Rect { 0, 0, 320, 480 });
    list->setContentSize({ 320, 2000 });
    container->addSubview(list);

    driver.dragScrollView(list, { 0, -200 }, false);
    EXPECT_GT(list->contentOffset().y, 150);
    EXPECT_EQ(panReports, 0);

    double y = list->contentOffset().y;
    driver.dragScrollView(list, { 150, 10 }, false);
    EXPECT_DOUBLE_EQ(list->contentOffset().y, y);
    EXPECT_GT(panReports, 2);

    // When the pan holds the drag, only a delegate allowing both lets another pan run too.
    auto second = std::make_shared<PanGestureRecognizer>();
    int secondReports = 0;
    second->addTarget([&](GestureRecognizer&) { ++secondReports; });
    window->addGestureRecognizer(second);
    driver.dragScrollView(list, { 150, 10 }, false);
    EXPECT_EQ(secondReports, 0);
    auto gate = std::make_shared<Gate>();
    gate->together = true;
    second->setDelegate(gate);
    driver.dragScrollView(list, { 150, 10 }, false);
    EXPECT_GT(secondReports, 2);
}

TEST_F(GestureTests, TwoTapsOnTheSameTouchRecogniseOnlyIfAllowed)
{
    int inner = 0, outer = 0;
    auto child = std::make_shared<View>(Rect { 0, 0, 100, 100 });
    container->addSubview(child);
    child->addGestureRecognizer(std::make_shared<TapGestureRecognizer>([&](GestureRecognizer&) { ++inner; }));
    auto outerTap = std::make_shared<TapGestureRecognizer>([&](GestureRecognizer&) { ++outer; });
    container->addGestureRecognizer(outerTap);
    driver.tap(child);
    EXPECT_EQ(inner, 1);
    EXPECT_EQ(outer, 0);
    auto gate = std::make_shared<Gate>();
    gate->together = true;
    outerTap->setDelegate(gate);
    driver.tap(child);
    EXPECT_EQ(inner, 2);
    EXPECT_EQ(outer, 1);
}

}
