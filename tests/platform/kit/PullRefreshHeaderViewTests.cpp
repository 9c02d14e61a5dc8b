#include "platform/foundation/UserDefaults.h"
#include "platform/kit/PullRefreshHeaderView.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/Driver.h"
#include "platform/ui/DumpAttributes.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/ScrollViewDelegate.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/ui/Window.h"

#include <gtest/gtest.h>

using namespace pf;

namespace {

// A list as the screens build one: it forwards its scroll reports to the header and reloads
// when the header says so.
class List : public ScrollViewDelegate, public PullRefreshDelegate {
public:
    std::shared_ptr<PullRefreshHeaderView> header;
    int refreshes { 0 };
    bool loading { false };
    bool finishAtOnce { false };
    std::optional<double> lastUpdated;
    std::shared_ptr<ScrollView> table;

    void scrollViewDidScroll(ScrollView& scrollView) override { header->scrollViewDidScroll(scrollView); }
    void scrollViewDidEndDragging(ScrollView& scrollView, bool) override { header->scrollViewDidEndDragging(scrollView); }

    void pullRefreshDidTriggerRefresh(PullRefreshHeaderView&) override
    {
        ++refreshes;
        loading = true;
        if (finishAtOnce)
            finish();
    }
    bool pullRefreshDataSourceIsLoading(PullRefreshHeaderView&) override { return loading; }
    std::optional<double> pullRefreshDataSourceLastUpdated(PullRefreshHeaderView&) override { return lastUpdated; }

    void finish()
    {
        loading = false;
        header->dataSourceDidFinishLoading(*table);
    }
};

class PullRefresh : public ::testing::Test {
protected:
    TaskEnvironment env;
    Driver driver;
    std::shared_ptr<Window> window;
    std::shared_ptr<ScrollView> table;
    std::shared_ptr<List> list;

    void SetUp() override
    {
        UIEnvironment::reset();
        window = std::make_shared<Window>(Rect(0, 0, 320, 480));
        window->makeKeyAndVisible();
        table = std::make_shared<ScrollView>(Rect(0, 40, 320, 400));
        window->addSubview(table);
        table->setContentSize({ 320, 1000 });
        list = std::make_shared<List>();
        list->table = table;
        list->header = std::make_shared<PullRefreshHeaderView>(Rect(0, -400, 320, 400));
        list->header->setDelegate(list);
        table->addSubview(list->header);
        table->setDelegate(list);
    }
    void TearDown() override { UIEnvironment::reset(); }

    // The finger moves down in small steps to `distance` points from where it went down.
    void dragTo(double distance)
    {
        double current = m_finger;
        double step = distance > current ? 5 : -5;
        while (std::abs(distance - current) > 1e-9) {
            current = std::abs(distance - current) < 5 ? distance : current + step;
            table->dragTo({ 0, current });
        }
        m_finger = distance;
    }
    void press()
    {
        m_finger = 0;
        table->beginDrag();
    }
    void release()
    {
        table->endDrag({ 0, 0 });
        env.fastForwardBy(1);
    }
    PullRefreshState state() const { return list->header->state(); }

private:
    double m_finger { 0 };
};

}

TEST_F(PullRefresh, PullingPastTheTriggerArmsAndReleasingThereRefreshesUntilTheListFinishes)
{
    press();
    dragTo(100);
    EXPECT_GT(table->contentOffset().y, -PullRefreshMetrics::kTriggerDistance);
    EXPECT_EQ(state(), PullRefreshState::Normal);
    dragTo(220);
    EXPECT_LT(table->contentOffset().y, -PullRefreshMetrics::kTriggerDistance);
    EXPECT_EQ(state(), PullRefreshState::Pulling);
    // Pushed back above the trigger it disarms, and arms again further down.
    dragTo(100);
    EXPECT_EQ(state(), PullRefreshState::Normal);
    dragTo(220);
    EXPECT_EQ(state(), PullRefreshState::Pulling);
    release();
    EXPECT_EQ(state(), PullRefreshState::Loading);
    EXPECT_EQ(list->refreshes, 1);
    EXPECT_EQ(table->contentInset().top, PullRefreshMetrics::kLoadingInset);
    EXPECT_EQ(table->contentOffset().y, -PullRefreshMetrics::kLoadingInset) << "the header rests open";

    // Pulling again while it loads starts nothing new.
    press();
    dragTo(220);
    release();
    EXPECT_EQ(list->refreshes, 1);
    EXPECT_EQ(state(), PullRefreshState::Loading);

    list->finish();
    env.fastForwardBy(1);
    EXPECT_EQ(state(), PullRefreshState::Normal);
    EXPECT_EQ(table->contentInset().top, 0);
    EXPECT_EQ(table->contentOffset().y, 0);
    DumpAttributes attributes;
    list->header->dumpAttributes(attributes);
    EXPECT_NE(attributes.format().find("state=normal"), std::string::npos);
}

TEST_F(PullRefresh, ReleasingShortOfTheTriggerOrWhileTheListLoadsDoesNothing)
{
    ASSERT_TRUE(driver.pullDownAndRelease(table, 120));
    driver.advance(1);
    EXPECT_EQ(list->refreshes, 0);
    EXPECT_EQ(state(), PullRefreshState::Normal);
    EXPECT_EQ(table->contentOffset().y, 0);

    // A page load of the list (not a refresh) keeps the header from arming.
    list->loading = true;
    press();
    dragTo(250);
    EXPECT_EQ(state(), PullRefreshState::Normal);
    release();
    ASSERT_TRUE(driver.pullDownAndRelease(table, 300));
    driver.advance(1);
    EXPECT_EQ(list->refreshes, 0);
    EXPECT_EQ(table->contentInset().top, 0);
    EXPECT_EQ(table->contentOffset().y, 0);
}

TEST_F(PullRefresh, AListThatFinishesAtOnceLeavesTheHeaderClosed)
{
    list->finishAtOnce = true;
    press();
    dragTo(220);
    release();
    EXPECT_EQ(list->refreshes, 1);
    EXPECT_EQ(state(), PullRefreshState::Normal);
    EXPECT_EQ(table->contentInset().top, 0);
    EXPECT_EQ(table->contentOffset().y, 0);
}

TEST_F(PullRefresh, WhileLoadingTheHeaderFollowsTheContentUpToTheLoadingInset)
{
    press();
    dragTo(220);
    release();
    ASSERT_EQ(state(), PullRefreshState::Loading);
    // Scrolling the content up uncovers less of the header, and none once past the top.
    press();
    dragTo(-30);
    EXPECT_NEAR(table->contentInset().top, 30, 1e-9);
    dragTo(-100);
    EXPECT_EQ(table->contentInset().top, 0);
    release();
    EXPECT_EQ(state(), PullRefreshState::Loading);
}

TEST_F(PullRefresh, TheLastUpdatedDateIsStoredOnlyWhenTheListGivesOne)
{
    auto defaults = UserDefaults::standard();
    list->header->refreshLastUpdatedDate();
    EXPECT_FALSE(list->header->lastUpdatedDate());
    EXPECT_TRUE(defaults->objectForKey("EGORefreshTableView_LastRefresh").isMissing());
    press();
    dragTo(220);
    release();
    list->finish();
    EXPECT_TRUE(defaults->objectForKey("EGORefreshTableView_LastRefresh").isMissing());

    list->lastUpdated = 1'700'000'123.0;
    list->header->refreshLastUpdatedDate();
    EXPECT_EQ(list->header->lastUpdatedDate(), 1'700'000'123.0);
    ASSERT_TRUE(defaults->objectForKey("EGORefreshTableView_LastRefresh").asDate());
    EXPECT_EQ(defaults->objectForKey("EGORefreshTableView_LastRefresh").asDate()->secondsSince1970(), 1'700'000'123.0);
}
