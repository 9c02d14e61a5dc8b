#include "AppWorld.h"

#include "platform/foundation/Device.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PopoverController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "screens/gifts/GiftCategoryViewController.h"
#include "screens/gifts/GiftPageViewController.h"
#include "screens/gifts/PagingFooterCell.h"
#include "screens/menu/DDMenuController.h"
#include "screens/menu/LeftEntranceViewController.h"
#include "screens/menu/RootViewController.h"

namespace {

// The app launched on a tablet: every screen lives in the 320 x 480 popover.
class TabletLists : public ::testing::Test {
protected:
    TabletLists()
    {
        pf::Device::current().setIdiom(pf::Device::Idiom::Tablet);
        pf::Device::current().setScreenSize(Simulator::kPadWidth, Simulator::kPadHeight);
        world.launch({});
        world.settle();
        world.settle();
    }

    pf::Rect popover() const { return world.delegate->popoverController()->panelView()->frameInWindow(); }
    static bool inside(const pf::Rect& inner, const pf::Rect& outer)
    {
        return inner.minX() >= outer.minX() && inner.maxX() <= outer.maxX() && inner.minY() >= outer.minY()
            && inner.maxY() <= outer.maxY();
    }
    std::shared_ptr<GiftPageViewController> firstTab() const
    {
        auto navigation = std::dynamic_pointer_cast<pf::NavigationController>(world.delegate->rootViewController()->rootViewController());
        auto category = std::dynamic_pointer_cast<GiftCategoryViewController>(navigation->topViewController());
        return category->giftPageViewControllers().at(0);
    }
    // How often the first tab has asked the portal for `page`, in full or as the look-ahead.
    int requestsOfPage(int page) const
    {
        int count = 0;
        for (const auto& r : world.portal.receivedRequests()) {
            auto form = PortalTestClient::formFields(r.body);
            count += r.path == "/api/ka/list" && form["type"] == "0" && form["page"] == std::to_string(page);
        }
        return count;
    }

    AppWorld world;
    pf::Driver driver;
};

}

TEST_F(TabletLists, TheGiftListsBottomRowsAndFooterCanBeScrolledIntoThePopover)
{
    auto tab = firstTab();
    auto table = tab->tableView();
    ASSERT_TRUE(table);
    ASSERT_EQ(tab->giftListArray().size(), 20u);
    // The table fills the area below the tab bar inside the popover, not the screen's height.
    EXPECT_TRUE(inside(table->frameInWindow(), popover())) << pf::Driver::describe(*table);
    EXPECT_EQ(table->frameInWindow().maxY(), popover().maxY());

    // Short flings up, as a thumb would: the next page is asked for only once a fling has
    // ended with the footer on screen, and the last row and the end text come into view.
    const int pageTwoAtStart = requestsOfPage(2); // the look-ahead
    bool endShown = false;
    for (int fling = 0; fling < 40 && !endShown; ++fling) {
        size_t rows = tab->giftListArray().size();
        auto footer = table->cellForRowAtIndexPath({ 0, static_cast<int>(rows) });
        bool footerWasShown = footer && driver.isVisible(*footer) && inside(footer->frameInWindow(), popover());
        int pageTwoBefore = requestsOfPage(2);
        ASSERT_TRUE(driver.dragView(table, { 0, -120 }, { .duration = 0.1, .fling = true }));
        driver.advance(3);
        world.settle();
        footer = table->cellForRowAtIndexPath({ 0, static_cast<int>(rows) });
        bool footerShown = footer && driver.isVisible(*footer) && inside(footer->frameInWindow(), popover());
        if (requestsOfPage(2) > pageTwoBefore)
            EXPECT_TRUE(footerShown || footerWasShown) << "the next page was asked for at offset " << table->contentOffset().y;
        auto end = driver.findByText(PagingFooterCell::kEndText);
        endShown = end && inside(end->frameInWindow(), popover());
    }
    EXPECT_TRUE(endShown) << driver.dump();
    EXPECT_GT(requestsOfPage(2), pageTwoAtStart);
    ASSERT_EQ(tab->giftListArray().size(), 25u);
    auto last = table->cellForRowAtIndexPath({ 0, 24 });
    ASSERT_TRUE(last);
    EXPECT_TRUE(driver.isVisible(*last));
    EXPECT_TRUE(inside(last->frameInWindow(), popover())) << pf::Driver::describe(*last);
}

TEST_F(TabletLists, TheSideMenusTableFillsTheSidePanelInThePopover)
{
    auto root = world.delegate->rootViewController();
    root->showLeftController(true);
    driver.advance(DDMenuController::kSlideDuration);
    world.settle();
    auto menu = std::dynamic_pointer_cast<LeftEntranceViewController>(root->leftViewController());
    ASSERT_TRUE(menu && menu->tableView());
    auto table = menu->tableView();
    EXPECT_EQ(table->frame(), menu->view()->bounds());
    EXPECT_EQ(table->frameInWindow().maxY(), popover().maxY());
    // Every entry, the last one included, is on screen inside the popover.
    auto entry = driver.findByText("反馈");
    ASSERT_TRUE(entry) << driver.dump();
    EXPECT_TRUE(inside(entry->frameInWindow(), popover()));
}
