#include "GiftScreenFixture.h"

#include "core/views/HardPickingItems.h"
#include "core/views/LoadingPromptView.h"
#include "platform/kit/GifView.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableView.h"
#include "platform/kit/RichTextLabel.h"
#include "screens/gifts/CustomPageControlView.h"
#include "screens/gifts/GiftListTableViewCell.h"
#include "screens/gifts/PagingFooterCell.h"
#include "tests/support/PortalTestClient.h"

#include <algorithm>
#include <set>

namespace {

// The first screen against the local portal (25 gifts in the first category, 21 in the others,
// four carousel entries).
class GiftCategoryScreenTest : public GiftScreenFixture {
protected:
    GiftCategoryScreenTest()
    {
        EXPECT_TRUE(portal.start());
        usePortal(portal.apiBaseURL());
    }

    std::vector<PortalTestClient::Form> formsOf(const std::string& operation) const { return PortalTestClient::formsOf(portal, operation); }
    size_t listRequests() const { return formsOf("ka/list").size(); }

    // Flicks up until a deceleration ends at the bottom of the list.
    void flickToBottom(const std::shared_ptr<pf::TableView>& table)
    {
        for (int i = 0; i < 20 && !LookAheadPager::isAtEnd(*table); ++i) {
            ASSERT_TRUE(driver.dragView(table, { 0, -300 }, { .duration = 0.1, .fling = true }));
            driver.advance(3);
        }
        ASSERT_TRUE(LookAheadPager::isAtEnd(*table));
    }

    portal::PortalServer portal;
};

TEST_F(GiftCategoryScreenTest, FirstAppearanceAsksForThreeCategoriesAndTheCarouselThenProbesAndShowsTheRows)
{
    showCategoryScreen();
    EXPECT_FALSE(tab(1)->loadingPromptView()) << "only the tab shown gets a loading view";
    EXPECT_FALSE(tab(2)->loadingPromptView());
    settle();
    settle();

    auto lists = formsOf("ka/list");
    std::set<std::pair<std::string, std::string>> typesAndPages;
    for (auto& form : lists) {
        EXPECT_EQ(form["count"], "20");
        typesAndPages.insert({ form["type"], form["page"] });
    }
    EXPECT_EQ(lists.size(), 6u) << "three first pages and three probes";
    EXPECT_EQ(typesAndPages, (std::set<std::pair<std::string, std::string>> {
                                 { "0", "1" }, { "1", "1" }, { "2", "1" }, { "0", "2" }, { "1", "2" }, { "2", "2" } }));
    auto carousel = formsOf("arc/lun");
    ASSERT_EQ(carousel.size(), 1u) << "only the first tab has a carousel";
    EXPECT_EQ(carousel[0]["typeid"], "ka");

    EXPECT_FALSE(tab(0)->loadingPromptView()) << "removed by the first probe";
    EXPECT_FALSE(driver.findByClass("LoadingPromptView"));
    EXPECT_EQ(tab(0)->currentPage(), 2);
    EXPECT_TRUE(tab(0)->isMoreInfo());

    for (const char* text : { "Quorvane", "推荐", "独家", "最新" })
        EXPECT_TRUE(driver.findByText(text)) << text;
    auto rows = driver.findAll([&](const pf::View& v) { return v.dumpClassName() == "GiftListTableViewCell" && v.isDescendantOf(tab(0)->view().get()); });
    ASSERT_GE(rows.size(), 3u);
    auto first = std::dynamic_pointer_cast<GiftListTableViewCell>(rows.back());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->title()->plainText(), tab(0)->giftListArray().at(static_cast<size_t>(first->index()))->title().text());

    auto table = tab(0)->tableView();
    EXPECT_EQ(table->numberOfRowsInSection(0), 21);
    // Scrolled there without a flick: a flick that ends at the bottom asks for the next page.
    table->setContentOffset({ 0, table->contentSize().height - table->frame().height() });
    driver.settle();
    auto footer = std::dynamic_pointer_cast<PagingFooterCell>(table->cellForRowAtIndexPath({ 0, 20 }));
    ASSERT_TRUE(footer) << "the footer row follows the 20 gifts";
    EXPECT_TRUE(footer->loadingView()) << "more exists: the loading animation";
    EXPECT_NE(driver.dump().find("PagingFooterCell frame=(0,1726,320,80)"), std::string::npos) << driver.dump();
}

TEST_F(GiftCategoryScreenTest, ReachingTheBottomLoadsTheNextPageUntilEverythingIsShownAndARefreshStartsOver)
{
    showCategoryScreen();
    settle();
    settle();
    auto table = tab(0)->tableView();
    size_t before = listRequests();

    flickToBottom(table);
    settle();
    settle();
    auto forms = formsOf("ka/list");
    ASSERT_EQ(forms.size(), before + 2) << "page 2 again in full, then the probe of page 3";
    EXPECT_EQ(forms[before]["page"], "2");
    EXPECT_EQ(forms[before + 1]["page"], "3");
    EXPECT_EQ(tab(0)->giftListArray().size(), 25u);
    EXPECT_FALSE(tab(0)->isMoreInfo());
    EXPECT_EQ(tab(0)->currentPage(), 3);

    flickToBottom(table);
    settle();
    EXPECT_EQ(listRequests(), before + 2) << "nothing more to load";
    EXPECT_TRUE(driver.findByText(PagingFooterCell::kEndText));

    // The end text still asks when tapped; the empty reply keeps the rows.
    ASSERT_TRUE(driver.tapText(PagingFooterCell::kEndText));
    settle();
    settle();
    EXPECT_EQ(formsOf("ka/list")[before + 2]["page"], "3");
    EXPECT_EQ(tab(0)->giftListArray().size(), 25u);
    EXPECT_EQ(tab(0)->currentPage(), 4);
    EXPECT_TRUE(driver.findByText(PagingFooterCell::kEndText));

    // Pulling to refresh after several pages starts over from page 1.
    before = listRequests();
    table->setContentOffset({ 0, 0 });
    driver.settle();
    ASSERT_TRUE(driver.pullDownAndRelease(table, 300));
    // No check while the refresh runs: on a busy machine the real server's reply can arrive
    // before the finger has fully let go.
    settle();
    driver.advance(1);
    settle();
    forms = formsOf("ka/list");
    ASSERT_EQ(forms.size(), before + 2);
    EXPECT_EQ(forms[before]["page"], "1");
    EXPECT_EQ(forms[before + 1]["page"], "2");
    EXPECT_FALSE(tab(0)->isReloading());
    EXPECT_EQ(tab(0)->giftListArray().size(), 20u) << "page 1 replaces the list";
    EXPECT_EQ(tab(0)->currentPage(), 2);
    EXPECT_TRUE(tab(0)->isMoreInfo());
    EXPECT_EQ(table->contentInset().top, 0) << "the header closed";
}

TEST_F(GiftCategoryScreenTest, ChoosingATabBringsItsListToTheFrontAndReloadsIt)
{
    showCategoryScreen();
    settle();
    settle();
    auto screenView = category->view();
    EXPECT_EQ(screenView->subviews().back(), tab(0)->view()) << "the first tab lies on top";

    ASSERT_TRUE(driver.tapText("独家"));
    driver.settle();
    EXPECT_EQ(category->currentPage(), 11);
    EXPECT_EQ(screenView->subviews().back(), tab(1)->view());
    EXPECT_FALSE(tab(1)->loadingPromptView()) << "its probe had answered before it was chosen";

    // Rows of the chosen category are the ones a tap reaches.
    recordDetailScreens();
    auto rowOfTab1 = tab(1)->tableView()->cellForRowAtIndexPath({ 0, 0 });
    ASSERT_TRUE(rowOfTab1);
    ASSERT_TRUE(driver.tap(rowOfTab1));
    driver.advance(1);
    ASSERT_EQ(openedDetails.size(), 1u);
    EXPECT_EQ(openedDetails[0], tab(1)->giftListArray()[0]->fid());
    EXPECT_EQ(navigation->viewControllers().size(), 2u);

    // Back on the category screen the same category shows.
    navigation->popViewController(false);
    driver.settle();
    EXPECT_EQ(category->currentPage(), 11);
    EXPECT_EQ(screenView->subviews().back(), tab(1)->view());

    ASSERT_TRUE(driver.tapText("推荐"));
    driver.settle();
    EXPECT_EQ(category->currentPage(), 10);
    EXPECT_EQ(screenView->subviews().back(), tab(0)->view());
}

TEST_F(GiftCategoryScreenTest, TheCarouselShowsItsPageOnTheDotsOpensItsGiftAndNeverPagesTheList)
{
    recordDetailScreens();
    showCategoryScreen();
    settle();
    settle();
    auto carousel = tab(0)->shufflingImages();
    auto dots = tab(0)->customPageControlView();
    ASSERT_TRUE(carousel && dots);
    ASSERT_EQ(tab(0)->shufflingImagesInfo().size(), 4u);
    EXPECT_EQ(tab(0)->tableView()->tableHeaderView(), tab(0)->shufflingImagesContainerView());
    EXPECT_EQ(dots->totalPageCount(), 4u);
    EXPECT_EQ(dots->currentPage(), 0);

    // The list has more pages and the carousel always rests at its own bottom: a swipe that
    // paged the list would ask for page 2 here.
    ASSERT_TRUE(tab(0)->isMoreInfo());
    size_t before = listRequests();
    ASSERT_TRUE(driver.dragScrollView(carousel, { -200, 0 }, true));
    driver.advance(2);
    settle();
    EXPECT_EQ(carousel->contentOffset().x, 320);
    EXPECT_EQ(dots->currentPage(), 1);
    EXPECT_EQ(listRequests(), before) << "swiping the carousel loads nothing";
    EXPECT_EQ(tab(0)->tableView()->contentInset().top, 0);

    ASSERT_TRUE(driver.tap(driver.findByTag(101)));
    driver.advance(1);
    ASSERT_EQ(openedDetails.size(), 1u);
    EXPECT_EQ(openedDetails[0], tab(0)->shufflingImagesInfo()[1]->arcid());
}

}
