#include "GiftScreenFixture.h"

#include "core/views/DateConverter.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/testing/TestHttpServer.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "screens/gifts/CustomPageControlView.h"
#include "screens/gifts/GiftListTableViewCell.h"
#include "screens/gifts/PagingFooterCell.h"
#include "screens/gifts/RefreshTableHeaderView.h"
#include "tests/support/PortalTestClient.h"

#include <functional>
#include <mutex>

namespace {

std::string item(int fid, const std::string& titleJson, int status, int total, int send, int gold = 0, int points = 0,
    long long start = 1'700'000'000)
{
    return "{\"fid\":" + std::to_string(fid) + ",\"title\":" + titleJson + ",\"status\":" + std::to_string(status)
        + ",\"total\":" + std::to_string(total) + ",\"send\":" + std::to_string(send) + ",\"extcredits1\":" + std::to_string(gold)
        + ",\"extcredits2\":" + std::to_string(points) + ",\"startime\":" + std::to_string(start) + ",\"endtime\":1800000000}";
}

std::string pageOf(int first, int count)
{
    std::string body;
    for (int i = 0; i < count; ++i)
        body += (i ? "," : "") + item(first + i, "\"礼包" + std::to_string(first + i) + "\"", 1, 100, 10);
    return "{\"ret\":0,\"msg\":\"\",\"body\":[" + body + "]}";
}

const std::string kEmpty = R"({"ret":0,"msg":"","body":[]})";

// A portal whose gift list answers what the test says, by type and page; the carousel answers
// `carousel`. A page can be held back until the test lets it go.
class ScriptedPortal {
public:
    using Pages = std::function<std::string(int type, int page)>;

    ScriptedPortal()
    {
        m_server.on("POST", "/api/ka/list", [this](const pf::TestHttpServer::Request& request) {
            auto form = PortalTestClient::formFields(request.body);
            pf::TestHttpServer::Response response;
            response.contentType = "application/json";
            std::lock_guard<std::mutex> lock(m_mutex);
            int page = std::atoi(form["page"].c_str());
            response.body = m_pages ? m_pages(std::atoi(form["type"].c_str()), page) : kEmpty;
            response.hold = page == m_heldPage;
            return response;
        });
        m_server.on("POST", "/api/arc/lun", [this](const pf::TestHttpServer::Request&) {
            pf::TestHttpServer::Response response;
            response.contentType = "application/json";
            std::lock_guard<std::mutex> lock(m_mutex);
            response.body = m_carousel;
            return response;
        });
    }

    std::string apiBase() const { return m_server.url("/api/"); }
    void setPages(Pages pages)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pages = std::move(pages);
    }
    void setCarousel(std::string body)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_carousel = std::move(body);
    }
    void holdPage(int page)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_heldPage = page;
    }
    void release()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_heldPage = -1;
        }
        m_server.releaseHeld();
    }
    // The pages asked for by the tab of `type`, in order.
    std::vector<int> pagesAsked(int type) const
    {
        std::vector<int> pages;
        for (auto& r : m_server.requests()) {
            auto form = PortalTestClient::formFields(r.body);
            if (r.path == "/api/ka/list" && form["type"] == std::to_string(type))
                pages.push_back(std::atoi(form["page"].c_str()));
        }
        return pages;
    }

private:
    pf::TestHttpServer m_server;
    mutable std::mutex m_mutex;
    Pages m_pages;
    std::string m_carousel { kEmpty };
    int m_heldPage { -1 };
};

class GiftListTabTest : public GiftScreenFixture {
protected:
    GiftListTabTest() { usePortal(portal.apiBase()); }

    void showWithPages(ScriptedPortal::Pages pages)
    {
        portal.setPages(std::move(pages));
        showCategoryScreen();
        settle();
        settle();
    }
    std::shared_ptr<GiftListTableViewCell> row(int index)
    {
        return std::dynamic_pointer_cast<GiftListTableViewCell>(tab(0)->tableView()->cellForRowAtIndexPath({ 0, index }));
    }

    ScriptedPortal portal;
};

TEST_F(GiftListTabTest, RowsShowPortalTextsAsWrittenAndNeverANegativeCount)
{
    showWithPages([](int type, int page) -> std::string {
        if (type != 0 || page != 1)
            return kEmpty;
        return "{\"ret\":0,\"body\":[" + item(1, R"("<b>A&amp;B</b> & <font size=40>")", 1, 100, 120, 0, 15) + ","
            + item(2, "null", 3, 10, 4, 30, 5) + ","
            + item(3, R"("Pick")", 2, 80, 12, 30, 0) + ","
            + item(4, R"("Soon")", 0, 50, 0, 0, 0, 1'700'100'000) + "]}";
    });
    ASSERT_EQ(tab(0)->giftListArray().size(), 4u);

    auto hostile = row(0);
    ASSERT_TRUE(hostile);
    EXPECT_EQ(hostile->title()->plainText(), "<b>A&amp;B</b> & <font size=40>") << "a portal title is not markup";
    EXPECT_EQ(hostile->title()->runs().size(), 1u);
    EXPECT_TRUE(hostile->title()->runs()[0].font.bold);
    EXPECT_EQ(hostile->detail0()->plainText(), "领取资格：15萌点");
    EXPECT_EQ(hostile->detail1()->plainText(), "剩余礼包：0/100") << "more sent than there were: 0 left, not -20";
    EXPECT_TRUE(driver.findByText("<b>A&amp;B</b> & <font size=40>"));

    auto ended = row(1);
    EXPECT_EQ(ended->title()->plainText(), "") << "a null title shows nothing";
    EXPECT_EQ(ended->detail0()->plainText(), "领取资格：30金币") << "gold coins win over forum points";
    EXPECT_EQ(ended->detail1()->plainText(), "剩余礼包：6/10");
    EXPECT_EQ(ended->giftActionButton()->title(), "结束");
    EXPECT_EQ(ended->giftActionButton()->titleColor(), pf::Color::black());
    EXPECT_EQ(ended->giftActionButton()->tag(), 14);
    EXPECT_FALSE(ended->giftActionButton()->isUserInteractionEnabled()) << "the row takes the taps";

    auto pickUp = row(2);
    EXPECT_EQ(pickUp->detail0()->plainText(), "领取资格：免费") << "released codes are free whatever the cost";
    EXPECT_EQ(pickUp->detail1()->plainText(), "剩余礼包：0/80");
    EXPECT_EQ(pickUp->giftActionButton()->title(), "淘号");

    auto booking = row(3);
    EXPECT_EQ(booking->detail1()->plainText(), "开始时间：" + DateConverter::date1FromUNIXTime(1'700'100'000));
    EXPECT_EQ(booking->giftActionButton()->title(), "预约");
    EXPECT_EQ(booking->giftActionButton()->tag(), 11);
}

TEST_F(GiftListTabTest, AnEmptyFirstPageShowsOnlyTheEndTextWhichStillAsksWhenTapped)
{
    portal.setCarousel(R"({"ret":7,"msg":"维护中"})");
    showWithPages([](int, int) { return kEmpty; });
    auto table = tab(0)->tableView();
    EXPECT_EQ(table->numberOfRowsInSection(0), 1);
    EXPECT_EQ(table->tableHeaderView(), nullptr) << "a carousel reply that is no list leaves no header";
    EXPECT_FALSE(tab(0)->customPageControlView());
    auto footer = std::dynamic_pointer_cast<PagingFooterCell>(table->cellForRowAtIndexPath({ 0, 0 }));
    ASSERT_TRUE(footer);
    EXPECT_FALSE(footer->loadingView());
    EXPECT_EQ(footer->textLabel()->text(), PagingFooterCell::kEndText);
    EXPECT_EQ(portal.pagesAsked(0), (std::vector<int> { 1, 2 }));

    ASSERT_TRUE(driver.tap(footer));
    settle();
    settle();
    EXPECT_EQ(portal.pagesAsked(0), (std::vector<int> { 1, 2, 2, 3 }));
    EXPECT_EQ(tab(0)->currentPage(), 3);
    EXPECT_EQ(table->numberOfRowsInSection(0), 1);
    EXPECT_FALSE(table->indexPathForSelectedRow()) << "a footer tap leaves no selection";
}

TEST_F(GiftListTabTest, AFailedPageLeavesTheRowsAndThePlaceAndTheFooterAsksForItAgain)
{
    const std::string busy = R"({"ret":9,"msg":"系统繁忙"})";
    showWithPages([&](int, int) { return busy; });
    auto table = tab(0)->tableView();
    EXPECT_FALSE(tab(0)->loadingPromptView()) << "a failed first page does not leave the loading view";
    EXPECT_EQ(table->numberOfRowsInSection(0), 1);
    EXPECT_EQ(tab(0)->currentPage(), 1);
    ASSERT_TRUE(driver.tap(table->cellForRowAtIndexPath({ 0, 0 })));
    settle();
    EXPECT_EQ(portal.pagesAsked(0), (std::vector<int> { 1, 1 })) << "the footer asks for page 1 again, no probe";

    portal.setPages([](int, int page) { return pageOf(page * 100, page <= 2 ? 20 : 0); });
    ASSERT_TRUE(driver.tap(table->cellForRowAtIndexPath({ 0, 0 })));
    settle();
    settle();
    ASSERT_EQ(table->numberOfRowsInSection(0), 21);
    EXPECT_EQ(tab(0)->currentPage(), 2);

    // The portal fails again: a pull-to-refresh keeps the rows, closes and leaves the place.
    portal.setPages([&](int, int) { return busy; });
    ASSERT_TRUE(driver.pullDownAndRelease(table, 300));
    settle();
    driver.advance(1);
    settle();
    EXPECT_EQ(table->numberOfRowsInSection(0), 21);
    EXPECT_EQ(tab(0)->giftListArray().size(), 20u);
    EXPECT_EQ(tab(0)->currentPage(), 2);
    EXPECT_FALSE(tab(0)->isReloading());
}

TEST_F(GiftListTabTest, NewRowsAppearOnlyOnceTheProbeHasAnswered)
{
    showWithPages([](int type, int page) { return type == 0 && page <= 3 ? pageOf(page * 100, 20) : kEmpty; });
    auto table = tab(0)->tableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), 21);
    ASSERT_TRUE(tab(0)->isMoreInfo());
    EXPECT_EQ(table->tableHeaderView(), nullptr) << "no carousel entries, no header";

    portal.holdPage(3);
    table->setContentOffset({ 0, table->contentSize().height - table->frame().size.height });
    driver.settle();
    ASSERT_TRUE(driver.tap(table->cellForRowAtIndexPath({ 0, 20 })));
    ASSERT_TRUE(env.runUntil([&] { return tab(0)->giftListArray().size() == 40u; }));
    driver.settle();
    EXPECT_EQ(table->contentSize().height, 21 * 80) << "the table keeps the rows it had";
    EXPECT_TRUE(std::dynamic_pointer_cast<PagingFooterCell>(table->cellForRowAtIndexPath({ 0, 20 })));

    portal.release();
    settle();
    EXPECT_EQ(table->contentSize().height, 41 * 80);
    EXPECT_TRUE(std::dynamic_pointer_cast<GiftListTableViewCell>(table->cellForRowAtIndexPath({ 0, 20 })));
}

TEST_F(GiftListTabTest, ALostFirstProbeKeepsTheLoadingViewOnlyOnTheShownTab)
{
    portal.holdPage(2);
    portal.setPages([](int, int page) { return pageOf(page * 100, 20); });
    showCategoryScreen();
    ASSERT_TRUE(env.runUntil([&] { return tab(0)->giftListArray().size() == 20u && tab(1)->giftListArray().size() == 20u; }));
    driver.settle();
    EXPECT_TRUE(tab(0)->loadingPromptView());
    EXPECT_TRUE(driver.findByClass("LoadingPromptView"));

    // A tab chosen before its probe answers gets a loading view of its own.
    ASSERT_TRUE(driver.tapText("独家"));
    driver.settle();
    EXPECT_TRUE(tab(1)->loadingPromptView());
    EXPECT_FALSE(tab(2)->loadingPromptView());

    portal.release();
    settle();
    EXPECT_FALSE(tab(0)->loadingPromptView());
    EXPECT_FALSE(tab(1)->loadingPromptView());
    EXPECT_FALSE(driver.findByClass("LoadingPromptView"));
}

TEST_F(GiftListTabTest, CarouselDotsSitSymmetricallyAndBouncesLightNone)
{
    auto xs = [](const std::shared_ptr<CustomPageControlView>& dots) {
        std::vector<double> positions;
        for (unsigned i = 0; i < dots->totalPageCount(); ++i)
            positions.push_back(dots->viewWithTag(100 + static_cast<int>(i))->frame().x());
        return positions;
    };
    auto three = CustomPageControlView::customPageControlViewWithTotalNumber(3);
    EXPECT_EQ(xs(three), (std::vector<double> { 138, 156, 174 }));

    three->resetCustomStarsViewWithCurrentPageNumber(2);
    EXPECT_EQ(three->currentPage(), 2);
    auto dotImage = [&](int tag) { return std::static_pointer_cast<pf::ImageView>(three->viewWithTag(tag))->image()->name(); };
    EXPECT_EQ(dotImage(102), "slide_on.png");
    EXPECT_EQ(dotImage(100), "slide_def.png");
    for (int bounce : { -1, 3 }) {
        three->resetCustomStarsViewWithCurrentPageNumber(bounce);
        EXPECT_EQ(three->currentPage(), -1);
        for (int tag = 100; tag < 103; ++tag)
            EXPECT_EQ(dotImage(tag), "slide_def.png");
    }
    EXPECT_EQ(GiftPageViewController::carouselPageForOffset(159, 320), 0);
    EXPECT_EQ(GiftPageViewController::carouselPageForOffset(160, 320), 1) << "half of the next image shows its dot";
    EXPECT_EQ(GiftPageViewController::carouselPageForOffset(-160, 320), -1);
}

TEST_F(GiftListTabTest, ASingleCarouselEntryDoesNotScrollAndABadCarouselReplyLeavesNoHeader)
{
    portal.setCarousel(R"({"ret":0,"body":[{"arcid":1234,"title":"x","litpic":"","type":1}]})");
    recordDetailScreens();
    showWithPages([](int, int) { return kEmpty; });
    auto carousel = tab(0)->shufflingImages();
    ASSERT_TRUE(tab(0)->customPageControlView());
    EXPECT_EQ(tab(0)->customPageControlView()->totalPageCount(), 1u);
    EXPECT_FALSE(carousel->canScrollHorizontally());
    ASSERT_TRUE(driver.tap(driver.findByTag(100)));
    driver.advance(1);
    EXPECT_EQ(openedDetails, (std::vector<int> { 1234 })) << "an entry without a picture still opens its gift";
}

}

TEST_F(GiftListTabTest, AListRecoversFromAPortalDownAtLaunchAndFromAStalledRefresh)
{
    std::string down;
    {
        pf::TestHttpServer gone;
        down = gone.url("/api/");
    }
    usePortal(down);
    showWithPages([](int, int page) { return page == 1 ? pageOf(1, 20) : pageOf(21, 3); });
    EXPECT_FALSE(tab(0)->loadingPromptView()) << "a failed first page leaves no loading view behind";
    EXPECT_TRUE(tab(0)->giftListArray().empty());
    EXPECT_TRUE(tab(0)->tableView()->cellForRowAtIndexPath({ 0, 0 })) << "the footer row is shown";

    // The portal is back: a pull brings the rows.
    usePortal(portal.apiBase());
    ASSERT_TRUE(driver.pullDownAndRelease(tab(0)->tableView(), 200));
    settle();
    settle();
    EXPECT_EQ(tab(0)->giftListArray().size(), 20u);
    auto header = tab(0)->refreshHeaderView();
    EXPECT_EQ(header->state(), pf::PullRefreshState::Normal);

    // A refresh whose page never answers closes its header after the time-out...
    portal.holdPage(1);
    ASSERT_TRUE(driver.pullDownAndRelease(tab(0)->tableView(), 200));
    ASSERT_TRUE(env.runUntil([&] { return portal.pagesAsked(0).back() == 1 && portal.pagesAsked(0).size() == 3u; }));
    EXPECT_EQ(header->state(), pf::PullRefreshState::Loading);
    driver.advance(LookAheadPager::kRefreshTimeout);
    EXPECT_EQ(header->state(), pf::PullRefreshState::Normal);
    EXPECT_FALSE(tab(0)->isReloading());
    EXPECT_EQ(tab(0)->giftListArray().size(), 20u) << "the rows on screen stay";

    // ...and the next pull works.
    portal.release();
    ASSERT_TRUE(driver.pullDownAndRelease(tab(0)->tableView(), 200));
    settle();
    settle();
    EXPECT_EQ(portal.pagesAsked(0).size(), 5u);
    EXPECT_EQ(header->state(), pf::PullRefreshState::Normal);
    EXPECT_EQ(tab(0)->giftListArray().size(), 20u);
}

namespace {

TEST_F(GiftListTabTest, AFailedLookAheadKeepsOfferingMoreAndTheNextScrollToTheEndLoadsThatPage)
{
    // Page 2 fails once: first as the look-ahead of page 1 (an error, then a reply that is no
    // JSON object), then it answers.
    showWithPages([failures = 0](int type, int page) mutable -> std::string {
        if (type != 0)
            return kEmpty;
        if (page == 2 && failures++ == 0)
            return R"({"ret":9,"msg":"系统繁忙"})";
        return page <= 2 ? pageOf(page * 100, 20) : kEmpty;
    });
    auto table = tab(0)->tableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), 21);
    table->setContentOffset({ 0, table->contentSize().height - table->frame().size.height });
    driver.settle();
    EXPECT_FALSE(driver.findByText(PagingFooterCell::kEndText)) << "a failed look-ahead does not tell the end";
    auto footer = std::dynamic_pointer_cast<PagingFooterCell>(table->cellForRowAtIndexPath({ 0, 20 }));
    ASSERT_TRUE(footer);
    EXPECT_FALSE(footer->loadingView()) << "the portal refused the look-ahead: nothing is loading";
    EXPECT_EQ(footer->textLabel()->text(), "系统繁忙");

    ASSERT_TRUE(driver.dragView(table, { 0, -300 }, { .duration = 0.1, .fling = true }));
    driver.advance(3);
    settle();
    settle();
    EXPECT_EQ(portal.pagesAsked(0), (std::vector<int> { 1, 2, 2, 3 }));
    EXPECT_EQ(tab(0)->giftListArray().size(), 40u);
    table->setContentOffset({ 0, table->contentSize().height - table->frame().size.height });
    driver.settle();
    EXPECT_TRUE(driver.findByText(PagingFooterCell::kEndText)) << "page 3 answered with nothing";
}

}
