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

    AppWorld world;
    pf::Driver driver;
};

}

TEST_F(TabletLists, TheGiftListsBottomRowsAndFooterCanBeScrolledIntoThePopover)
{
    auto tab = firstTab();
    auto table = tab->tableView();
    ASSERT_TRUE(table && tab->giftListArray().size() == 20u);
    // The table fills the area below the tab bar inside the popover, not the screen's height.
    EXPECT_TRUE(inside(table->frameInWindow(), popover())) << pf::Driver::describe(*table);
    EXPECT_EQ(table->frameInWindow().maxY(), popover().maxY());

    // Short flings up, as a thumb would, load the next page and bring the last row and the
    // end text into view.
    bool endShown = false;
    for (int fling = 0; fling < 40 && !endShown; ++fling) {
        ASSERT_TRUE(driver.dragView(table, { 0, -120 }, { .duration = 0.1, .fling = true }));
        driver.advance(3);
        world.settle();
        auto end = driver.findByText(PagingFooterCell::kEndText);
        endShown = end && inside(end->frameInWindow(), popover());
    }
    EXPECT_TRUE(endShown) << driver.dump();
    ASSERT_EQ(tab->giftListArray().size(), 25u);
    auto last = table->cellForRowAtIndexPath({ 0, 24 });
    ASSERT_TRUE(last && driver.isVisible(*last));
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
