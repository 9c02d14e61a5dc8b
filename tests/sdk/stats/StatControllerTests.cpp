#include "StatsTestSupport.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/NotificationCenter.h"
#include "sdk/stats/TalmerinMobStatController.h"
#include "sdk/stats/TalmerinMobStatSession.h"

#include <functional>

using pf::Value;

namespace {

void background() { pf::NotificationCenter::defaultCenter().post(pf::Application::kDidEnterBackgroundNotification); }
void foreground() { pf::NotificationCenter::defaultCenter().post(pf::Application::kWillEnterForegroundNotification); }

std::string lastPage()
{
    return pf::UserDefaults::standard()->objectForKey(TalmerinMobStatController::kLastVisitPageKey).stringValue();
}

}

TEST(TalmerinMobStat, SettingsClampAndOnlyAFirstNonEmptyKeyStarts)
{
    StatsWorld world;
    auto stat = world.stat();
    for (auto [given, stored] : std::vector<std::pair<int, int>> { { 700, 600 }, { 0, 0 }, { -5, 0 }, { 35, 35 }, { 600, 600 } }) {
        stat->setSessionResumeInterval(given);
        EXPECT_EQ(stat->sessionResumeInterval(), stored) << given;
    }

    // Not started: the app's moves do nothing, a page call raises.
    background();
    foreground();
    EXPECT_FALSE(stat->controller()->session());
    try {
        stat->pageviewStartWithName("Home");
        ADD_FAILURE() << "no exception";
    } catch (const pf::Exception& e) {
        EXPECT_EQ(e.name(), "Invalid AppKey");
        EXPECT_EQ(e.reason(), "Invalid AppKey");
    }
    stat->pageviewStartWithName(""); // empty names never reach the check

    stat->startWithAppId("");
    EXPECT_FALSE(stat->controller()->started());
    EXPECT_TRUE(world.settle());
    EXPECT_TRUE(world.server.requests("/stats/").empty());

    stat->startWithAppId("key-1");
    ASSERT_TRUE(stat->controller()->session());
    std::string id = stat->controller()->session()->Id();
    EXPECT_EQ(id, std::to_string(TalmerinMobStat::nowMs()));
    world.env.fastForwardBy(1);
    stat->startWithAppId("key-2");
    EXPECT_EQ(stat->controller()->appId(), "key-1");
    EXPECT_EQ(stat->controller()->session()->Id(), id);
    ASSERT_TRUE(world.settle());
    EXPECT_EQ(world.uploads().size(), 1u) << "strategy 0 sends once at start";
    EXPECT_EQ(world.uploads()[0]["he"]["k"], Value("key-1"));
    EXPECT_EQ(world.uploads()[0]["he"]["ss"].longValue(), std::stoll(id));
    EXPECT_EQ(stat->controller()->session()->logSentCount(), 1) << "counted on the main loop after the upload";
}

TEST(TalmerinMobStat, WithoutAKeyEveryCheckedOperationRaisesBeforeItRecords)
{
    StatsWorld world;
    auto controller = world.stat()->controller();
    using Operation = std::function<void(TalmerinMobStatController&)>;
    struct Case {
        const char* what;
        Operation operation;
        bool raises;
    };
    const std::vector<Case> cases {
        { "startSession", [](auto& c) { c.startSession(); }, true },
        { "endSession", [](auto& c) { c.endSession(); }, true },
        { "endPageView", [](auto& c) { c.endPageView("Home", true); }, true },
        { "startWithLastPageView, no last page", [](auto& c) { c.startWithLastPageView(); }, true },
        { "startSendTimer", [](auto& c) { c.startSendTimer(); }, true },
        { "logEventStart", [](auto& c) { c.logEventStart("buy", "gift"); }, true },
        { "logEventEnd", [](auto& c) { c.logEventEnd("buy", "gift"); }, true },
        { "logEvent", [](auto& c) { c.logEvent("buy", "gift"); }, true },
        { "logEventWithDurationTime is not checked", [](auto& c) { c.logEventWithDurationTime("buy", "gift", 5); }, false },
        { "an empty page name is ignored first", [](auto& c) { c.endPageView("", true); }, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            c.operation(*controller);
            EXPECT_FALSE(c.raises) << "no exception";
        } catch (const pf::Exception& e) {
            EXPECT_TRUE(c.raises) << "raised";
            EXPECT_EQ(e.name(), "Invalid AppKey");
        }
    }
    EXPECT_FALSE(controller->session());
    EXPECT_FALSE(controller->currentPageView());
    EXPECT_TRUE(controller->eventArray().empty());
    EXPECT_EQ(controller->sendTimerInterval(), 0);
    ASSERT_TRUE(world.settle());
    EXPECT_TRUE(world.uploads().empty());
    EXPECT_EQ(world.log()["pr"].size(), 0u);
}

TEST(TalmerinMobStat, ReturningWithinTheResumeIntervalContinuesTheSession)
{
    StatsWorld world;
    auto stat = world.stat();
    stat->setSessionResumeInterval(35);
    stat->startWithAppId("key");
    ASSERT_TRUE(world.settle());
    auto controller = stat->controller();
    std::string first = controller->session()->Id();

    stat->pageviewStartWithName("Home");
    world.env.fastForwardBy(2);
    background();
    EXPECT_EQ(lastPage(), "Home");
    EXPECT_FALSE(controller->currentPageView());
    ASSERT_TRUE(world.settle());

    world.env.fastForwardBy(34);
    foreground();
    EXPECT_EQ(controller->session()->Id(), first);
    ASSERT_TRUE(controller->currentPageView()) << "the last page restarts";
    EXPECT_EQ(Value(*controller->currentPageView())["n"], Value("Home"));
    ASSERT_TRUE(world.settle());
    EXPECT_EQ(world.uploads().size(), 1u);

    background();
    ASSERT_TRUE(world.settle());
    Value stored = world.log()["pr"];
    ASSERT_EQ(stored.size(), 1u) << "the continued session replaces its stored entry";
    EXPECT_EQ(stored[0]["i"], Value(first));
    EXPECT_EQ(stored[0]["p"].size(), 2u);
    EXPECT_EQ(stored[0]["e"].longValue(), TalmerinMobStat::nowMs());

    world.env.fastForwardBy(35);
    foreground();
    EXPECT_NE(controller->session()->Id(), first);
    EXPECT_TRUE(controller->currentPageView());
    ASSERT_TRUE(world.settle());
    ASSERT_EQ(world.uploads().size(), 2u) << "a new session sends under strategy 0";
    EXPECT_EQ(world.uploads()[1]["pr"][0]["i"], Value(first));
}

TEST(TalmerinMobStat, PagesAndTimedEventsAreRecorded)
{
    StatsWorld world;
    auto stat = world.stat();
    stat->setLogStrategy(3); // no sending
    stat->startWithAppId("key");
    auto controller = stat->controller();
    long long sessionStart = controller->session()->sStart();

    world.env.fastForwardBy(1);
    stat->pageviewStartWithName("A");
    world.env.fastForwardBy(1.5);
    stat->pageviewEndWithName("B");
    EXPECT_TRUE(controller->currentPageView()) << "another page's end is ignored";
    EXPECT_EQ(lastPage(), "");
    stat->pageviewEndWithName("A");
    EXPECT_FALSE(controller->currentPageView());
    EXPECT_EQ(lastPage(), "A");
    ASSERT_TRUE(world.settle());
    Value page = world.log()["pr"][0]["p"][0];
    EXPECT_EQ(page, Value(pf::Dictionary { { "d", Value(1500) }, { "n", Value("A") }, { "ps", Value(1000) } }));
    EXPECT_EQ(world.log()["pr"][0]["s"].longValue(), sessionStart);

    // Starting an open timed event again ends and stores the first one.
    stat->eventStart("buy", "gift");
    world.env.fastForwardBy(2);
    stat->eventStart("buy", "gift");
    EXPECT_EQ(controller->eventArray().size(), 1u);
    ASSERT_TRUE(world.settle());
    Value ev = world.log()["ev"];
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0]["d"], Value(2000));
    EXPECT_EQ(ev[0]["s"], Value("0"));
    world.env.fastForwardBy(1);
    stat->eventEnd("buy", "gift");
    stat->eventEnd("buy", "gift"); // no open event: nothing
    stat->logEventWithDurationTime("load", "screen", 250);
    ASSERT_TRUE(world.settle());
    EXPECT_EQ(world.log()["ev"].size(), 3u);
    EXPECT_TRUE(controller->eventArray().empty());
}

TEST(TalmerinMobStat, SendStrategiesFollowTheClock)
{
    StatsWorld world;
    auto launch = [&](int strategy, int interval = 1) {
        world.relaunch();
        auto stat = world.stat();
        stat->setLogStrategy(strategy);
        stat->setLogSendInterval(interval);
        stat->startWithAppId("key");
        EXPECT_TRUE(world.settle());
        return stat;
    };
    auto sent = [&] { return world.server.requests("/stats/").size(); };

    // 1: at the first start, then not again within a day of the last send.
    launch(1);
    EXPECT_EQ(sent(), 1u);
    world.env.fastForwardBy(86399);
    launch(1);
    EXPECT_EQ(sent(), 1u);
    world.env.fastForwardBy(1);
    launch(1);
    EXPECT_EQ(sent(), 2u);

    // 2: at start and then every h hours, at most 24, at least 1.
    for (auto [interval, period] : std::vector<std::pair<int, double>> { { 30, 86400 }, { 0, 3600 }, { 5, 18000 } }) {
        auto stat = launch(2, interval);
        size_t before = sent();
        EXPECT_EQ(stat->controller()->sendTimerInterval(), period) << interval;
        world.env.fastForwardBy(period - 1);
        ASSERT_TRUE(world.settle());
        EXPECT_EQ(sent(), before) << interval;
        world.env.fastForwardBy(1);
        ASSERT_TRUE(world.settle());
        EXPECT_EQ(sent(), before + 1) << interval;
    }
}

TEST(TalmerinMobStat, CountedEventsAddUpOnlyWithCountedEventsOfTheirNameAndLabel)
{
    // Every step of a case lies within one rounded hour, so only the kind of event decides.
    using Step = std::function<void(TalmerinMobStat&, pf::TaskEnvironment&)>;
    const Step counted = [](auto& stat, auto& env) { env.fastForwardBy(1); stat.logEvent("buy", "gift"); };
    const Step timed = [](auto& stat, auto& env) { stat.eventStart("buy", "gift"); env.fastForwardBy(0.5); stat.eventEnd("buy", "gift"); };
    const Step timedAtOnce = [](auto& stat, auto&) { stat.eventStart("buy", "gift"); stat.eventEnd("buy", "gift"); };
    const Step withDuration = [](auto& stat, auto&) { stat.logEventWithDurationTime("buy", "gift", 500); };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> entries; // "c d s" of each entry of "ev", in order
    };
    const Case cases[] = {
        { "after a timed event", { timed, counted, counted }, { "1 500 0", "2 0 0|1000|" } },
        { "after an event with a given duration", { withDuration, counted, counted }, { "1 500 0", "2 0 0|1000|" } },
        { "after a timed event of no duration", { timedAtOnce, counted, counted }, { "1 0 0", "2 0 0|1000|" } },
        { "around a timed event", { counted, withDuration, counted }, { "2 0 0|1000|", "1 500 0" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StatsWorld world;
        auto stat = world.stat();
        stat->setLogStrategy(3); // no sending
        stat->startWithAppId("key");
        for (const auto& step : c.steps)
            step(*stat, world.env);
        ASSERT_TRUE(world.settle());
        std::vector<std::string> entries;
        const Value log = world.log();
        for (const auto& e : *log["ev"].asArray())
            entries.push_back(e["c"].stringValue() + " " + e["d"].stringValue() + " " + e["s"].stringValue());
        EXPECT_EQ(entries, c.entries);
    }
}
