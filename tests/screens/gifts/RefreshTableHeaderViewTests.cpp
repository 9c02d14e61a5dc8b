#include "screens/gifts/RefreshTableHeaderView.h"

#include "platform/foundation/UserDefaults.h"
#include "platform/graphics/Image.h"
#include "platform/kit/GifView.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/TableView.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/ui/Window.h"

#include <gtest/gtest.h>

using pf::Rect;

namespace {

// A list as the gift lists build one: the header as tall as the table just above the content,
// scroll reports forwarded, a refresh running until the list says it is done.
class RefreshingList : public pf::TableViewDelegate, public pf::PullRefreshDelegate {
public:
    std::shared_ptr<RefreshTableHeaderView> header;
    int refreshes { 0 };
    bool loading { false };

    void scrollViewDidScroll(pf::ScrollView& scrollView) override { header->scrollViewDidScroll(scrollView); }
    void scrollViewDidEndDragging(pf::ScrollView& scrollView, bool) override { header->scrollViewDidEndDragging(scrollView); }
    void pullRefreshDidTriggerRefresh(pf::PullRefreshHeaderView&) override
    {
        ++refreshes;
        loading = true;
    }
    bool pullRefreshDataSourceIsLoading(pf::PullRefreshHeaderView&) override { return loading; }
};

class RefreshTableHeaderViewTests : public ::testing::Test {
protected:
    RefreshTableHeaderViewTests()
    {
        pf::UIEnvironment::reset();
        window = std::make_shared<pf::Window>(Rect { 0, 0, 320, 480 });
        window->makeKeyAndVisible();
        table = std::make_shared<pf::TableView>(Rect { 0, 0, 320, 416 });
        table->setContentSize({ 320, 1000 });
        window->addSubview(table);
        list->header = RefreshTableHeaderView::create({ 0, -416, 320, 416 });
        list->header->setDelegate(list);
        list->header->refreshLastUpdatedDate();
        table->addSubview(list->header);
        table->setDelegate(list);
        driver.settle();
    }
    ~RefreshTableHeaderViewTests() override { pf::UIEnvironment::reset(); }

    double visibleHeight(const pf::View& view) const { return view.visibleRectInWindow().height(); }

    pf::TaskEnvironment env;
    std::shared_ptr<pf::Window> window;
    std::shared_ptr<pf::TableView> table;
    std::shared_ptr<RefreshingList> list = std::make_shared<RefreshingList>();
    pf::Driver driver;
};

TEST_F(RefreshTableHeaderViewTests, PullingRevealsTheTextFromTenPointsAndWholeFromThirty)
{
    auto gif = list->header->gifImageView();
    auto text = list->header->promptText();
    table->setContentOffset({ 0, -10 });
    EXPECT_EQ(visibleHeight(*text), 0);
    EXPECT_EQ(visibleHeight(*gif), 0);
    table->setContentOffset({ 0, -12.5 });
    EXPECT_GT(visibleHeight(*text), 0);
    EXPECT_GT(visibleHeight(*gif), 0);
    table->setContentOffset({ 0, -29 });
    EXPECT_LT(visibleHeight(*text), 20);
    table->setContentOffset({ 0, -30 });
    EXPECT_EQ(visibleHeight(*text), 20);
    EXPECT_EQ(visibleHeight(*gif), 18);
}

TEST_F(RefreshTableHeaderViewTests, TextStaysTheSameThroughARefreshAndNoDateIsStored)
{
    ASSERT_TRUE(driver.pullDownAndRelease(table, 300));
    driver.advance(1);
    ASSERT_EQ(list->refreshes, 1);
    EXPECT_EQ(list->header->state(), pf::PullRefreshState::Loading);

    // The open header shows the animation and the one text, nothing else of its own.
    std::vector<std::string> headerTexts;
    for (const auto& view : driver.findAll([&](const pf::View& v) { return v.isDescendantOf(list->header.get()); }))
        if (auto label = std::dynamic_pointer_cast<pf::Label>(view))
            headerTexts.push_back(label->text());
    EXPECT_EQ(headerTexts, std::vector<std::string> { "正在刷新..." });
    auto gif = list->header->gifImageView();
    ASSERT_TRUE(gif->image());
    EXPECT_EQ(gif->image()->name(), "refresh.gif");
    EXPECT_TRUE(gif->isAnimating());
    EXPECT_EQ(visibleHeight(*list->header->promptText()), 20);
    EXPECT_NE(driver.dump().find("正在刷新..."), std::string::npos);

    list->loading = false;
    list->header->dataSourceDidFinishLoading(*table);
    list->header->refreshLastUpdatedDate();
    driver.advance(1);
    EXPECT_EQ(visibleHeight(*list->header->promptText()), 0);
    EXPECT_EQ(list->header->promptText()->text(), "正在刷新...");
    EXPECT_TRUE(pf::UserDefaults::standard()->objectForKey(pf::PullRefreshHeaderView::kLastRefreshDefaultsKey).isNone());
}

}
