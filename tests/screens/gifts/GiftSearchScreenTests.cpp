#include "tests/screens/PortalScreenFixture.h"

#include "core/views/DateConverter.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/testing/TestHttpServer.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "screens/gifts/GiftScreenFactory.h"
#include "screens/gifts/GiftSearchingPageViewController.h"
#include "screens/gifts/GiftSearchingResultTableViewCell.h"
#include "screens/gifts/GiftSearchingResultsPageViewController.h"
#include "screens/gifts/LookAheadPager.h"
#include "screens/gifts/PagingFooterCell.h"
#include "screens/gifts/RefreshTableHeaderView.h"
#include "screens/gifts/SearchingPlainTableViewCell.h"

#include <functional>
#include <mutex>

namespace {

std::string result(int fid, const std::string& titleJson, int status = 1, int total = 50, int send = 10, int gold = 0, int points = 0)
{
    return "{\"fid\":" + std::to_string(fid) + ",\"title\":" + titleJson + ",\"status\":" + std::to_string(status)
        + ",\"total\":" + std::to_string(total) + ",\"send\":" + std::to_string(send) + ",\"extcredits1\":" + std::to_string(gold)
        + ",\"extcredits2\":" + std::to_string(points) + ",\"startTime\":1700100000,\"endTime\":1800000000,\"litpic\":\"\"}";
}

std::string resultsOf(int count, int firstFid = 1)
{
    std::string body;
    for (int i = 0; i < count; ++i)
        body += (i ? "," : "") + result(firstFid + i, "\"礼包" + std::to_string(firstFid + i) + "\"");
    return R"({"ret":0,"body":[)" + body + "]}";
}

// A portal whose "ka/search" answers what the test says for each word; a word can be held
// back until the test lets it go.
class ScriptedSearch {
public:
    using Answer = std::function<std::string(const std::string& word, int page)>;

    ScriptedSearch()
    {
        m_server.reply("POST", "/api/arc/tui", 200, R"({"ret":0,"body":[]})", "application/json");
        m_server.on("POST", "/api/ka/search", [this](const pf::TestHttpServer::Request& request) {
            auto form = PortalTestClient::formFields(request.body);
            pf::TestHttpServer::Response response;
            response.contentType = "application/json";
            std::lock_guard lock(m_mutex);
            response.body = m_answer ? m_answer(form["wd"], std::atoi(form["page"].c_str())) : resultsOf(0);
            response.hold = form["wd"] == m_held;
            return response;
        });
    }
    std::string apiBase() const { return m_server.url("/api/"); }
    void answer(Answer answer)
    {
        std::lock_guard lock(m_mutex);
        m_answer = std::move(answer);
    }
    void hold(std::string word)
    {
        std::lock_guard lock(m_mutex);
        m_held = std::move(word);
    }
    void release()
    {
        hold("");
        m_server.releaseHeld();
    }
    std::vector<std::string> wordsAsked() const
    {
        std::vector<std::string> words;
        for (auto& r : m_server.requests()) {
            if (r.path == "/api/ka/search")
                words.push_back(PortalTestClient::formFields(r.body)["wd"]);
        }
        return words;
    }

private:
    pf::TestHttpServer m_server;
    std::mutex m_mutex;
    Answer m_answer;
    std::string m_held { "\x01" };
};

class GiftSearchScreenTest : public PortalScreenFixture {
protected:
    GiftSearchScreenTest()
    {
        showRoot();
        GiftScreenFactory::setDetailFactory([this](int fid) {
            openedDetails.push_back(fid);
            return std::make_shared<AdaptedViewController>();
        });
    }
    ~GiftSearchScreenTest() override { GiftScreenFactory::setDetailFactory({}); }

    std::shared_ptr<GiftSearchingPageViewController> openSearch()
    {
        auto screen = std::dynamic_pointer_cast<GiftSearchingPageViewController>(GiftScreenFactory::giftSearchingPageViewController());
        push(screen);
        settle();
        return screen;
    }
    std::shared_ptr<GiftSearchingResultsPageViewController> results() const
    {
        return std::dynamic_pointer_cast<GiftSearchingResultsPageViewController>(top());
    }
    void flickToBottom(const std::shared_ptr<pf::TableView>& table)
    {
        for (int i = 0; i < 20 && !LookAheadPager::isAtEnd(*table); ++i) {
            ASSERT_TRUE(driver.dragView(table, { 0, -300 }, { .duration = 0.1, .fling = true }));
            driver.advance(3);
        }
        ASSERT_TRUE(LookAheadPager::isAtEnd(*table));
    }

    std::vector<int> openedDetails;
};

TEST_F(GiftSearchScreenTest, HotWordsSitInThreeColumnsAndOpenTheirResultsAndTheFieldIsEmptyOnReturn)
{
    auto search = openSearch();
    ASSERT_EQ(countOf("arc/tui"), 1u);
    EXPECT_EQ(formsOf("arc/tui")[0]["type"], "1");
    const auto& buttons = search->hotWordButtons();
    ASSERT_EQ(buttons.size(), 8u);
    std::vector<pf::Point> centres;
    for (auto& b : buttons)
        centres.push_back(b->center());
    EXPECT_EQ(centres, (std::vector<pf::Point> { { 53, 112 }, { 159, 112 }, { 265, 112 }, { 53, 176 }, { 159, 176 }, { 265, 176 },
                           { 53, 240 }, { 159, 240 } }));

    // The word's suggestions are held at the portal: once they arrive their list covers the
    // hot words, and the tap is meant to come first, as a quick person's would.
    portal.holdOperation("ka/search");
    ASSERT_TRUE(driver.typeText(search->searchingTextField(), "星海"));
    ASSERT_TRUE(driver.tap(buttons[1]));
    driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    portal.releaseHeld();
    ASSERT_TRUE(results());
    EXPECT_EQ(results()->searchingWord(), buttons[1]->title());
    EXPECT_EQ(results()->title(), "搜索“" + buttons[1]->title() + "”的结果");
    settle();
    EXPECT_FALSE(results()->searchingResults().empty());

    ASSERT_TRUE(driver.tapImage("back.png"));
    driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    ASSERT_EQ(top(), search);
    EXPECT_EQ(search->searchingTextField()->text(), "") << "the field is emptied on every appearance";
    EXPECT_FALSE(search->searchingTextField()->isFirstResponder());
    EXPECT_TRUE(search->searchingResultsTableView()->isHidden());
    EXPECT_EQ(countOf("arc/tui"), 1u) << "hot words are asked for once";

    // "搜索" with an empty field stays; with text it opens that word's results.
    ASSERT_TRUE(driver.tap(search->searchingButton()));
    driver.advance(1);
    EXPECT_EQ(top(), search);
    ASSERT_TRUE(driver.typeText(search->searchingTextField(), "  "));
    ASSERT_TRUE(driver.tap(search->searchingButton()));
    driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    ASSERT_TRUE(results());
    EXPECT_EQ(results()->searchingWord(), "  ");
}

TEST_F(GiftSearchScreenTest, EachEditAsksOnceAndOnlyTheLatestAnswerForAFieldThatStillHoldsTextIsShown)
{
    ScriptedSearch portal;
    useApi(portal.apiBase());
    portal.answer([](const std::string& word, int) {
        if (word == "a")
            return resultsOf(3, 100);
        if (word == "nul")
            return std::string(R"({"ret":0,"body":null})");
        if (word == "many")
            return resultsOf(20);
        return resultsOf(2, 200);
    });
    auto search = openSearch();
    auto field = search->searchingTextField();
    auto list = search->searchingResultsTableView();

    portal.hold("a");
    ASSERT_TRUE(driver.typeText(field, "a"));
    // The two requests travel on connections of their own: let the first arrive before the
    // second leaves, so the order the server records is the order of the edits.
    ASSERT_TRUE(env.runUntil([&] { return portal.wordsAsked().size() == 1u; }));
    ASSERT_TRUE(driver.typeText(field, "b"));
    ASSERT_TRUE(env.runUntil([&] { return search->searchingResultsArray().size() == 2u; }));
    portal.release();
    settle();
    EXPECT_EQ(portal.wordsAsked(), (std::vector<std::string> { "a", "ab" })) << "one request per edit";
    EXPECT_EQ(search->searchingResultsArray().front()->fid(), 200) << "the late reply for \"a\" shows nothing";
    EXPECT_FALSE(list->isHidden());
    EXPECT_EQ(list->frame(), (pf::Rect { 10, 40, 214, 80 }));

    // A suggestion opens its gift.
    ASSERT_TRUE(driver.tapRow(list, { 0, 1 }));
    driver.advance(1);
    EXPECT_EQ(openedDetails, (std::vector<int> { 201 }));
    navigation->popViewController(false);
    settle();

    // Emptied while a reply is on its way: nothing is sent and the reply shows nothing.
    ASSERT_EQ(field->text(), "") << "emptied on the way back";
    portal.hold("a");
    ASSERT_TRUE(driver.typeText(field, "a"));
    ASSERT_TRUE(driver.deleteBackward(field, 1));
    EXPECT_TRUE(list->isHidden());
    portal.release();
    settle();
    EXPECT_EQ(portal.wordsAsked(), (std::vector<std::string> { "a", "ab", "a" })) << "an empty field asks nothing";
    EXPECT_TRUE(list->isHidden()) << "a reply for a text that is gone shows nothing";

    // A null body hides the list; a full page stops short of the view's bottom.
    ASSERT_TRUE(driver.typeText(field, "nul"));
    settle();
    EXPECT_TRUE(list->isHidden());
    ASSERT_TRUE(driver.deleteBackward(field, 3));
    ASSERT_TRUE(driver.typeText(field, "many"));
    settle();
    EXPECT_FALSE(list->isHidden());
    EXPECT_EQ(list->frame().height(), search->view()->frame().height() - 40);
}

TEST_F(GiftSearchScreenTest, AHostileWordReachesThePortalIntactAndShowsAsWrittenWhenNothingIsFound)
{
    auto search = openSearch();
    const std::string word = "<b>x</b>&page=9";
    ASSERT_TRUE(driver.typeText(search->searchingTextField(), word));
    settle();
    ASSERT_TRUE(driver.tap(search->searchingButton()));
    driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    settle();
    auto forms = formsOf("ka/search");
    ASSERT_FALSE(forms.empty());
    EXPECT_EQ(forms.back()["wd"], "<b>x</b>%26page%3D9");
    EXPECT_EQ(forms.back()["page"], "1") << "the word added no parameter";

    // The portal checked the signature over the word it decoded and found nothing.
    auto screen = results();
    ASSERT_TRUE(screen);
    EXPECT_FALSE(screen->noSearchResultsPromptView()->isHidden());
    EXPECT_TRUE(screen->tableView()->isHidden());
    EXPECT_EQ(screen->noSearchResultsLabel()->plainText(), "您搜索的\"" + word + "\"暂无结果");
    EXPECT_TRUE(driver.findContainingText("暂无结果"));
    EXPECT_EQ(screen->pager().currentPage(), 1);
}

TEST_F(GiftSearchScreenTest, ResultsPageAheadBothWaysRefreshAndOpenTheirGifts)
{
    auto search = openSearch();
    auto screen = std::make_shared<GiftSearchingResultsPageViewController>();
    screen->setSearchingWord("礼包"); // every sample gift: 67, four pages
    push(screen);
    settle();
    auto table = screen->tableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), 21);
    EXPECT_TRUE(screen->pager().isMoreInfo());

    for (int page = 2; page <= 4; ++page) {
        flickToBottom(table);
        settle();
    }
    EXPECT_EQ(screen->searchingResults().size(), 67u);
    EXPECT_FALSE(screen->pager().isMoreInfo());
    flickToBottom(table);
    EXPECT_TRUE(driver.findByText(PagingFooterCell::kEndText));
    std::vector<std::string> pages;
    for (auto& form : formsOf("ka/search"))
        pages.push_back(form["page"]);
    EXPECT_EQ(pages, (std::vector<std::string> { "1", "2", "2", "3", "3", "4", "4", "5" }));

    // A refresh goes back to page 1, and its probe turns "more" on again.
    table->setContentOffset({ 0, 0 });
    driver.settle();
    ASSERT_TRUE(driver.pullDownAndRelease(table, 300));
    settle();
    driver.advance(1);
    settle();
    EXPECT_EQ(screen->searchingResults().size(), 20u);
    EXPECT_EQ(screen->pager().currentPage(), 2);
    EXPECT_TRUE(screen->pager().isMoreInfo());
    EXPECT_EQ(table->contentInset().top, 0);

    ASSERT_TRUE(driver.tapRow(table, { 0, 2 }));
    driver.advance(1);
    EXPECT_EQ(openedDetails, (std::vector<int> { screen->searchingResults()[2]->fid() }));
}

TEST_F(GiftSearchScreenTest, RowsShowPortalTextsAsWrittenCountsNeverBelowZeroAndNoStaleBadge)
{
    ScriptedSearch portal;
    useApi(portal.apiBase());
    portal.answer([](const std::string&, int page) -> std::string {
        if (page != 1)
            return resultsOf(0);
        return "{\"ret\":0,\"body\":[" + result(1, R"("<b>A&amp;B</b> <font size=40>")", 1, 50, 80, 10, 5) + ","
            + result(2, R"("Pick")", 2, 50, 50) + "," + result(3, R"("Soon")", 0) + "," + result(4, R"("Odd")", 9) + "]}";
    });
    auto screen = std::make_shared<GiftSearchingResultsPageViewController>();
    screen->setSearchingWord("w");
    push(screen);
    settle();
    auto row = [&](int r) {
        return std::dynamic_pointer_cast<GiftSearchingResultTableViewCell>(screen->tableView()->cellForRowAtIndexPath({ 0, r }));
    };
    ASSERT_TRUE(row(3));
    EXPECT_EQ(row(0)->title()->plainText(), "<b>A&amp;B</b> <font size=40>");
    EXPECT_EQ(row(0)->desc()->plainText(), "领取资格：10金币") << "gold coins win over forum points";
    EXPECT_EQ(row(0)->info()->plainText(), "剩余礼包：0/50");
    EXPECT_EQ(row(1)->info()->plainText(), "剩余礼包：0/50");
    EXPECT_EQ(row(1)->button()->title(), "淘号");
    EXPECT_EQ(row(2)->info()->plainText(), "开始时间：" + DateConverter::date1FromUNIXTime(1'700'100'000));
    EXPECT_EQ(row(2)->button()->tag(), 11);

    // A cell that showed "预约" and is reused for an unknown status shows an empty badge.
    auto cell = row(2);
    cell->refreshCell(*screen->searchingResults()[3]);
    EXPECT_EQ(cell->button()->title(), "");
    EXPECT_EQ(cell->button()->backgroundColor(), pf::Color::clear());
    EXPECT_FALSE(cell->button()->isUserInteractionEnabled());
}

}

namespace {

// The address of a portal that is gone: every request to it fails in transport.
std::string goneApiBase()
{
    pf::TestHttpServer gone;
    return gone.url("/api/");
}

class GiftSearchResultsPagingTest : public GiftSearchScreenTest {
protected:
    std::shared_ptr<GiftSearchingResultsPageViewController> showResults(const std::string& word)
    {
        auto screen = std::make_shared<GiftSearchingResultsPageViewController>();
        screen->setSearchingWord(word);
        push(screen);
        settle();
        return screen;
    }
    std::vector<std::string> pagesAsked() const
    {
        std::vector<std::string> pages;
        for (auto& form : formsOf("ka/search"))
            pages.push_back(form["page"]);
        return pages;
    }
};

TEST_F(GiftSearchResultsPagingTest, ANullLookAheadEndsTheListAndTheEndOfTheListAsksNothingMore)
{
    ScriptedSearch scripted;
    useApi(scripted.apiBase());
    scripted.answer([](const std::string&, int page) { return page <= 2 ? resultsOf(20, page * 100) : std::string(R"({"ret":0,"body":null})"); });
    auto screen = showResults("w");
    auto table = screen->tableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), 21);

    flickToBottom(table);
    settle();
    ASSERT_EQ(table->numberOfRowsInSection(0), 41);
    flickToBottom(table);
    settle();
    EXPECT_TRUE(driver.findByText(PagingFooterCell::kEndText)) << "page 3 holds nothing: everything is shown";
    EXPECT_EQ(scripted.wordsAsked().size(), 4u) << "pages 1, 2, 2 and the look-ahead of 3; the end asks nothing";

    // The footer still asks for page 3 when tapped; its null answer changes nothing.
    ASSERT_TRUE(driver.tapText(PagingFooterCell::kEndText));
    settle();
    flickToBottom(table);
    settle();
    EXPECT_EQ(scripted.wordsAsked().size(), 5u);
    EXPECT_EQ(screen->searchingResults().size(), 40u);
    EXPECT_TRUE(driver.findByText(PagingFooterCell::kEndText));
    EXPECT_FALSE(screen->noSearchResultsPromptView()->isVisibleOnScreen()) << "a null later page is no empty result";
}

TEST_F(GiftSearchResultsPagingTest, OnlyAPortalAnswerWithoutErrorSaysTheWordHasNoResult)
{
    struct Error { const char* reply; std::string footer; }; // the portal's word, or the list's own
    const Error errors[] = {
        { R"({"ret":5,"msg":"系统繁忙","body":null})", "系统繁忙" },
        { R"({"msg":"?","body":null})", "?" },
        { R"({"ret":"x","body":null})", PagingFooterCell::kRefusedText },
    };
    for (const Error& error : errors) {
        SCOPED_TRACE(error.reply);
        ScriptedSearch scripted;
        useApi(scripted.apiBase());
        scripted.answer([&error](const std::string&, int) { return std::string(error.reply); });
        auto screen = showResults("w");
        EXPECT_FALSE(driver.findContainingText("暂无结果")) << "an error is not an empty result";
        EXPECT_TRUE(driver.isVisible(*screen->tableView()));
        auto footer = driver.findOfType<PagingFooterCell>();
        ASSERT_TRUE(footer) << "the footer offers to ask again";
        EXPECT_FALSE(footer->loadingView()) << "no animation that nothing will end";
        EXPECT_EQ(footer->textLabel()->text(), error.footer);

        scripted.answer([](const std::string&, int) { return std::string(R"({"ret":0,"body":null})"); });
        ASSERT_TRUE(driver.tapText(error.footer));
        settle();
        EXPECT_TRUE(driver.findContainingText("暂无结果"));
        EXPECT_FALSE(driver.isVisible(*screen->tableView()));
        navigation->popViewController(false);
        settle();
    }
}

TEST_F(GiftSearchResultsPagingTest, APullWhoseRequestFailsInTransportClosesItsHeaderAtOnce)
{
    auto screen = showResults("礼包");
    auto table = screen->tableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), 21);

    useApi(goneApiBase());
    ASSERT_TRUE(driver.pullDownAndRelease(table, 300));
    settle();
    driver.advance(1);
    EXPECT_FALSE(screen->pager().isReloading());
    EXPECT_EQ(screen->refreshHeaderView()->state(), pf::PullRefreshState::Normal);
    EXPECT_EQ(table->contentInset().top, 0) << "the header closed long before the refresh time-out";
    EXPECT_EQ(table->numberOfRowsInSection(0), 21) << "the rows stay";
}

}
