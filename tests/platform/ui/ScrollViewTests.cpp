#include "UITestSupport.h"

#include "platform/ui/Driver.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/ScrollViewDelegate.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

using namespace pf;

namespace {

// Records the reports in order, with the offset and flags at the time.
class Recorder : public ScrollViewDelegate {
public:
    std::vector<std::string> events;
    std::vector<double> scrolledY;
    bool draggingAtEndDrag { false };
    std::function<void(ScrollView&)> onEndDragging;

    void scrollViewDidScroll(ScrollView& s) override
    {
        scrolledY.push_back(s.contentOffset().y);
        if (events.empty() || events.back() != "scroll")
            events.push_back("scroll");
    }
    void scrollViewWillBeginDragging(ScrollView&) override { events.push_back("willBeginDragging"); }
    void scrollViewDidEndDragging(ScrollView& s, bool decelerate) override
    {
        draggingAtEndDrag = s.isDragging();
        events.push_back(decelerate ? "didEndDragging(decelerate)" : "didEndDragging");
        if (onEndDragging)
            onEndDragging(s);
    }
    void scrollViewWillBeginDecelerating(ScrollView&) override { events.push_back("willBeginDecelerating"); }
    void scrollViewDidEndDecelerating(ScrollView&) override { events.push_back("didEndDecelerating"); }
    void scrollViewDidEndScrollingAnimation(ScrollView&) override { events.push_back("didEndScrollingAnimation"); }
};

class ScrollViewTests : public UITest {
protected:
    void SetUp() override
    {
        window = std::make_shared<Window>();
        window->makeKeyAndVisible();
        scroll = std::make_shared<ScrollView>(Rect { 0, 0, 320, 400 });
        scroll->setContentSize({ 320, 2000 });
        recorder = std::make_shared<Recorder>();
        scroll->setDelegate(recorder);
        window->addSubview(scroll);
    }

    std::shared_ptr<Window> window;
    std::shared_ptr<ScrollView> scroll;
    std::shared_ptr<Recorder> recorder;
    Driver driver;
};

TEST_F(ScrollViewTests, DragWithoutFlingReportsAndStopsWhereTheFingerLeftIt)
{
    ASSERT_TRUE(driver.dragScrollView(scroll, { 0, -150 }, false));
    EXPECT_EQ(recorder->events, (std::vector<std::string> { "willBeginDragging", "scroll", "didEndDragging" }));
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 150);
    EXPECT_TRUE(recorder->draggingAtEndDrag);
    EXPECT_FALSE(scroll->isDragging());
    EXPECT_FALSE(scroll->isDecelerating());
    // The offset moved in steps, as under a finger.
    EXPECT_GT(recorder->scrolledY.size(), 5u);
    EXPECT_TRUE(std::is_sorted(recorder->scrolledY.begin(), recorder->scrolledY.end()));
}

TEST_F(ScrollViewTests, FlingDeceleratesOnTheClockAndComesToRestWithinTheContent)
{
    ASSERT_TRUE(driver.dragScrollView(scroll, { 0, -300 }, true));
    EXPECT_EQ(recorder->events.back(), "willBeginDecelerating");
    EXPECT_TRUE(scroll->isDecelerating());
    double released = scroll->contentOffset().y;
    driver.advance(5);
    EXPECT_FALSE(scroll->isDecelerating());
    EXPECT_EQ(recorder->events, (std::vector<std::string> { "willBeginDragging", "scroll", "didEndDragging(decelerate)", "willBeginDecelerating", "scroll", "didEndDecelerating" }));
    EXPECT_GT(scroll->contentOffset().y, released + 100);
    EXPECT_LE(scroll->contentOffset().y, 1600);

    // A hard fling towards the end stops exactly at the end.
    for (int i = 0; i < 4; ++i) {
        driver.dragScrollView(scroll, { 0, -350 }, true);
        driver.advance(5);
    }
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 1600);
    EXPECT_FALSE(scroll->isDecelerating());
}

TEST_F(ScrollViewTests, PullingPastTheTopRubberBandsAndBouncesBack)
{
    ASSERT_TRUE(driver.pullDownAndRelease(scroll, 200));
    // The content followed the finger less and less, and ends out of range at release.
    double lowest = *std::min_element(recorder->scrolledY.begin(), recorder->scrolledY.end());
    EXPECT_LT(lowest, -40);
    EXPECT_GT(lowest, -200);
    EXPECT_EQ(recorder->events[2], "didEndDragging(decelerate)"); // out of range: it bounces back
    driver.advance(1);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);
    EXPECT_EQ(recorder->events.back(), "didEndDecelerating");

    // Without bouncing the content stops at the edge.
    scroll->setBounces(false);
    recorder->scrolledY.clear();
    driver.pullDownAndRelease(scroll, 200);
    EXPECT_TRUE(recorder->scrolledY.empty());
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);
}

TEST_F(ScrollViewTests, AnInsetSetWhenTheFingerLiftsIsWhereTheBounceEnds)
{
    // The pull-to-refresh pattern: on release past a threshold the delegate opens a top inset.
    recorder->onEndDragging = [](ScrollView& s) {
        if (s.contentOffset().y <= -65)
            s.setContentInset({ 60, 0, 0, 0 });
    };
    driver.pullDownAndRelease(scroll, 300);
    driver.advance(1);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, -60);

    // Closing the inset while resting brings the offset back into range.
    scroll->setContentInset({});
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);
}

TEST_F(ScrollViewTests, PagingSettlesOnTheNextPageInTheFlingDirection)
{
    scroll->setFrame({ 0, 0, 320, 150 });
    scroll->setContentSize({ 320 * 4, 150 });
    scroll->setPagingEnabled(true);
    driver.dragScrollView(scroll, { -100, 0 }, true);
    driver.advance(1);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().x, 320);

    // A slow drag less than half a page returns to the page it started on.
    driver.dragScrollView(scroll, { -100, 0 }, false);
    EXPECT_EQ(recorder->events.back(), "willBeginDecelerating");
    driver.advance(1);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().x, 320);

    // Past the last page it stays on the last one.
    for (int i = 0; i < 5; ++i) {
        driver.dragScrollView(scroll, { -200, 0 }, true);
        driver.advance(1);
    }
    EXPECT_DOUBLE_EQ(scroll->contentOffset().x, 960);
}

TEST_F(ScrollViewTests, AnimatedOffsetReportsEachFrameAndItsEnd)
{
    scroll->setContentOffset({ 0, 300 }, true);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);
    driver.advance(0.1);
    double mid = scroll->contentOffset().y;
    EXPECT_GT(mid, 0);
    EXPECT_LT(mid, 300);
    driver.advance(1);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 300);
    EXPECT_EQ(recorder->events, (std::vector<std::string> { "scroll", "didEndScrollingAnimation" }));
}

TEST_F(ScrollViewTests, ATouchStopsADecelerationWithoutTouchingTheContent)
{
    struct Content : View {
        using View::View;
        bool touched = false;
        void touchesBegan(const Touch&) override { touched = true; }
    };
    auto content = std::make_shared<Content>(Rect { 0, 0, 320, 2000 });
    scroll->addSubview(content);
    driver.dragScrollView(scroll, { 0, -300 }, true);
    ASSERT_TRUE(scroll->isDecelerating());
    content->touched = false; // the drag itself went down on the content
    double y = scroll->contentOffset().y;
    driver.tap(scroll);
    EXPECT_FALSE(scroll->isDecelerating());
    driver.advance(2);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, y);
    EXPECT_FALSE(content->touched);
}

TEST_F(ScrollViewTests, ADisabledScrollViewIgnoresDrags)
{
    scroll->setScrollEnabled(false);
    driver.dragScrollView(scroll, { 0, -150 }, true);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);
    EXPECT_TRUE(recorder->events.empty());
}

}
