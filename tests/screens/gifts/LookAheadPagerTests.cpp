#include "screens/gifts/LookAheadPager.h"

#include "core/NetworkRequestor.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/ScrollView.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

pf::Bytes bytes(const std::string& text)
{
    return pf::Bytes(text.begin(), text.end());
}

// A pager whose requests are recorded instead of sent; replies are fed by hand.
struct PagerHarness {
    explicit PagerHarness(LookAheadPager::Options options = {})
        : pager(options)
    {
        pager.startRequest = [this](int page) {
            auto requestor = NetworkRequestor::create();
            pages.push_back(page);
            requestors.push_back(requestor);
            return requestor;
        };
        pager.pageArrived = [this](const pf::Value& reply, bool replace) {
            if (replace)
                rows.clear();
            const pf::Value& body = reply["body"];
            if (body.isArray()) {
                for (size_t i = 0; i < body.size(); ++i)
                    rows.push_back(static_cast<int>(body[i].asInteger().value_or(0)));
            }
        };
        pager.probeHasItems = [](const pf::Value& reply) { return reply["body"].isArray() && reply["body"].size() > 0; };
        pager.refreshFinished = [this] { ++refreshesFinished; };
    }

    // Replies to the latest request of that page.
    bool reply(size_t requestIndex, const std::string& json)
    {
        return pager.handleReply(requestors.at(requestIndex).get(), bytes(json));
    }
    static std::string page(int first, int count)
    {
        std::string body;
        for (int i = 0; i < count; ++i)
            body += (i ? "," : "") + std::to_string(first + i);
        return R"({"ret":0,"body":[)" + body + "]}";
    }

    LookAheadPager pager;
    std::vector<int> pages;
    std::vector<std::shared_ptr<NetworkRequestor>> requestors;
    std::vector<int> rows;
    int refreshesFinished { 0 };
};

std::shared_ptr<pf::ScrollView> listOf(double height, double contentHeight, double offset)
{
    auto list = std::make_shared<pf::ScrollView>(pf::Rect { 0, 0, 320, height });
    list->setContentSize({ 320, contentHeight });
    list->setContentOffset({ 0, offset });
    return list;
}

class LookAheadPagerTest : public ::testing::Test {
protected:
    pf::TaskEnvironment env;
};

TEST_F(LookAheadPagerTest, RepliesOfReplacedOrForeignRequestorsAreDropped)
{
    PagerHarness h;
    h.pager.requestPage();
    h.pager.requestPage(); // a second request replaces the first
    EXPECT_FALSE(h.reply(0, PagerHarness::page(100, 20)));
    EXPECT_TRUE(h.rows.empty());
    EXPECT_EQ(h.pager.currentPage(), 1);

    auto stranger = NetworkRequestor::create();
    EXPECT_FALSE(h.pager.handleReply(stranger.get(), bytes(PagerHarness::page(1, 1))));
    EXPECT_FALSE(h.pager.handleReply(nullptr, bytes("{}")));

    EXPECT_TRUE(h.reply(1, PagerHarness::page(1, 20)));
    EXPECT_EQ(h.rows.front(), 1);
}

TEST_F(LookAheadPagerTest, AFailedReplyChangesNeitherTheRowsNorThePageAndTheFooterAsksAgain)
{
    const char* failures[] = {
        "<html>502</html>",                 // not JSON
        R"([1,2,3])",                       // JSON, but no object
        R"({"ret":5,"msg":"busy"})",        // an error
        R"({"ret":5,"body":[7,8]})",        // an error that carries a list all the same
        R"({"body":[7,8]})",                // no "ret"
        R"({"ret":0})",                     // no "body"
        R"({"ret":0,"body":{"0":7}})",
    };
    for (const char* failure : failures) {
        SCOPED_TRACE(failure);
        PagerHarness h;
        int failed = 0;
        h.pager.pageFailed = [&](const pf::Value&) { ++failed; };
        h.pager.requestPage();
        h.reply(0, PagerHarness::page(1, 20));
        h.reply(1, PagerHarness::page(21, 3));
        ASSERT_TRUE(h.pager.isMoreInfo());

        // A later page fails: nothing is skipped, and the footer asks for that page again.
        h.pager.footerTapped();
        EXPECT_TRUE(h.reply(2, failure));
        EXPECT_EQ(h.rows.size(), 20u);
        EXPECT_EQ(h.pager.currentPage(), 2);
        EXPECT_TRUE(h.pager.isMoreInfo());
        EXPECT_EQ(failed, 1);
        EXPECT_EQ(h.pages.size(), 3u) << "no probe after a failed page";
        h.pager.footerTapped();
        EXPECT_EQ(h.pages.back(), 2);
        h.reply(3, PagerHarness::page(21, 3));
        EXPECT_EQ(h.rows.size(), 23u);

        // A refresh that fails keeps the rows on screen and the place in the list.
        h.pager.refresh();
        h.reply(h.requestors.size() - 1, failure);
        EXPECT_EQ(h.rows.size(), 23u);
        EXPECT_EQ(h.pager.currentPage(), 3);
        EXPECT_FALSE(h.pager.isReloading());
        EXPECT_EQ(h.refreshesFinished, 1);

        // A failed probe says nothing about the end: the footer keeps offering more.
        h.reply(4, failure);
        EXPECT_TRUE(h.pager.isMoreInfo());
    }
}

TEST_F(LookAheadPagerTest, OnlyADecelerationThatEndsAtTheBottomWhileMoreExistsLoadsTheNextPage)
{
    PagerHarness h;
    h.pager.requestPage();
    h.reply(0, PagerHarness::page(1, 20));
    h.reply(1, PagerHarness::page(21, 1));
    ASSERT_TRUE(h.pager.isMoreInfo());
    size_t sent = h.pages.size();

    h.pager.didEndDecelerating(*listOf(400, 1680, 1000));
    EXPECT_EQ(h.pages.size(), sent) << "far from the bottom";
    h.pager.didEndDecelerating(*listOf(400, 1680, 1279)); // 1279 + 400 + 1 reaches 1680
    ASSERT_EQ(h.pages.size(), sent + 1);
    EXPECT_EQ(h.pages.back(), 2);

    // A list shorter than its frame is always at its end.
    EXPECT_TRUE(LookAheadPager::isAtEnd(*listOf(400, 160, 0)));

    h.reply(h.requestors.size() - 1, PagerHarness::page(21, 1));
    h.reply(h.requestors.size() - 1, R"({"ret":0,"body":[]})");
    ASSERT_FALSE(h.pager.isMoreInfo());
    sent = h.pages.size();
    h.pager.didEndDecelerating(*listOf(400, 160, 0));
    EXPECT_EQ(h.pages.size(), sent) << "nothing more to load";
    h.pager.footerTapped();
    EXPECT_EQ(h.pages.size(), sent + 1) << "the footer asks whatever the probe said";
}

TEST_F(LookAheadPagerTest, OptionsForListsThatDifferFromTheGiftTabs)
{
    // Obtained codes: only the footer loads further pages.
    PagerHarness codes(LookAheadPager::Options { .moreAtStart = false, .loadsAtEnd = false });
    codes.pager.requestPage();
    codes.reply(0, PagerHarness::page(1, 20));
    codes.reply(1, PagerHarness::page(21, 5));
    ASSERT_TRUE(codes.pager.isMoreInfo());
    codes.pager.didEndDecelerating(*listOf(400, 160, 0));
    EXPECT_EQ(codes.pages.size(), 2u);

    // Search results: more is assumed at start; the probe then decides both ways.
    PagerHarness search(LookAheadPager::Options { .moreAtStart = true, .loadsAtEnd = true });
    EXPECT_TRUE(search.pager.isMoreInfo());
    search.pager.requestPage();
    search.reply(0, PagerHarness::page(1, 20));
    search.reply(1, R"({"ret":0,"body":[]})");
    EXPECT_FALSE(search.pager.isMoreInfo());
    search.pager.refresh();
    search.reply(2, PagerHarness::page(1, 20));
    search.reply(3, PagerHarness::page(21, 20));
    EXPECT_TRUE(search.pager.isMoreInfo()) << "more pages appeared since";
}

TEST_F(LookAheadPagerTest, OnlyAnAnswerWithoutErrorEndsTheListAndAnyFailureKeepsOfferingMore)
{
    struct Case {
        const char* probe;
        bool more; // what the footer offers afterwards, whatever it offered before
        std::optional<std::string> refusal {}; // what the footer says instead of its animation
    };
    const Case cases[] = {
        { R"({"ret":0,"body":[21]})", true },
        { R"({"ret":0,"body":[]})", false },
        { R"({"ret":0,"body":null})", false },
        { R"({"ret":"0","body":null})", false },
        { R"({"ret":3,"body":null})", true, "" },
        { R"({"ret":3,"body":[]})", true, "" },
        { R"({"ret":4,"msg":" 请先登录 "})", true, "请先登录" },
        { R"({"ret":4,"msg":40})", true, "40" },
        { R"({"body":null})", true, "" },
        { R"({"ret":0})", true },
        { "<html>502</html>", true },
        { nullptr, true }, // no reply at all: the transport failed
    };
    for (const Case& c : cases) {
        for (bool before : { false, true }) {
            SCOPED_TRACE(std::string(c.probe ? c.probe : "transport failure") + (before ? ", more before" : ", end before"));
            PagerHarness h;
            int failures = 0;
            h.pager.requestFailed = [&] { ++failures; };
            h.pager.requestPage();
            h.reply(0, PagerHarness::page(1, 20));
            h.reply(1, before ? PagerHarness::page(21, 1) : R"({"ret":0,"body":[]})");
            ASSERT_EQ(h.pager.isMoreInfo(), before);

            // The footer asks for page 2 again; its look-ahead (of page 3) answers the case.
            h.pager.footerTapped();
            h.reply(2, PagerHarness::page(21, 20));
            if (c.probe)
                EXPECT_TRUE(h.reply(3, c.probe));
            else
                EXPECT_TRUE(h.pager.handleFailure(h.requestors.at(3).get()));
            EXPECT_EQ(h.pager.isMoreInfo(), c.more);
            EXPECT_EQ(h.pager.refusal(), c.refusal);
            EXPECT_EQ(failures, c.probe ? 0 : 1);
            EXPECT_TRUE(h.pager.isLoadedFinished());

            // While more is offered the end of the list asks for page 3; never a page further.
            size_t sent = h.pages.size();
            h.pager.didEndDecelerating(*listOf(400, 160, 0));
            EXPECT_EQ(h.pages.size(), sent + (c.more ? 1u : 0u));
            EXPECT_EQ(h.pages.back(), 3);
        }
    }
}

TEST_F(LookAheadPagerTest, APageThatAnswersNothingEndsTheListWithoutMovingOnAndAFailedOneOffersItAgain)
{
    PagerHarness h(LookAheadPager::Options { .moreAtStart = true, .loadsAtEnd = true });
    std::vector<std::string> told;
    h.pager.pageFailed = [&](const pf::Value& reply) { told.push_back(reply["ret"].isMissing() ? "none" : "reply"); };
    h.pager.requestPage();
    h.reply(0, PagerHarness::page(1, 20));
    h.reply(1, PagerHarness::page(21, 20));
    h.pager.requestPage();
    ASSERT_EQ(h.pages.back(), 2);

    // Page 2 is gone by the time it is asked for in full: the end, and the place is kept.
    EXPECT_TRUE(h.reply(2, R"({"ret":0,"body":null})"));
    EXPECT_FALSE(h.pager.isMoreInfo());
    EXPECT_EQ(h.pager.currentPage(), 2);
    EXPECT_EQ(h.rows.size(), 20u);
    EXPECT_EQ(h.pages.size(), 3u) << "no look-ahead after an end";
    h.pager.didEndDecelerating(*listOf(400, 160, 0));
    EXPECT_EQ(h.pages.size(), 3u);

    // The footer asks again; an error there offers more again.
    h.pager.footerTapped();
    EXPECT_TRUE(h.reply(3, "not json"));
    EXPECT_TRUE(h.pager.isMoreInfo());
    EXPECT_EQ(h.pager.currentPage(), 2);
    EXPECT_EQ(told, (std::vector<std::string> { "reply", "none" }));

    // A pull whose request cannot be started ends at once; a reset forgets everything.
    h.pager.startRequest = [](int) { return std::shared_ptr<NetworkRequestor>(); };
    h.pager.refresh();
    EXPECT_FALSE(h.pager.isReloading());
    EXPECT_EQ(h.refreshesFinished, 1);
    EXPECT_TRUE(h.pager.isMoreInfo());
    auto held = h.requestors.back();
    h.pager.reset();
    EXPECT_EQ(h.pager.currentPage(), 1);
    EXPECT_TRUE(h.pager.isMoreInfo()) << "as at start";
    EXPECT_FALSE(h.pager.refusal());
    EXPECT_FALSE(h.pager.handleReply(held.get(), bytes(PagerHarness::page(1, 20)))) << "a reply from before the reset is dropped";
}

}
