#include "AnalyticsPeers.h"

#include "sdk/lmconnect/host/MROSDKJSBridge.h"
#include "sdk/lmconnect/host/MorrowJSRunEnv.h"
#include "sdk/lmconnect/host/MorrowWebViewHost.h"
#include "sdk/lmconnect/host/MROSDKJSBridgeTools.h"
#include "sdk/lmconnect/analytics/ConfigManager.h"
#include "sdk/lmconnect/analytics/MRDataReport.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/UserDefaults.h"

namespace {

using Status = pf::Reachability::Status;

class StatsFront : public AnalyticsPeers {
protected:
    // Without a network every event is stored, where the tests read it.
    void offline() { pf::Reachability::setOverride(Status::NotReachable); }

    std::vector<nlohmann::json> storedEvents()
    {
        settle();
        std::vector<nlohmann::json> events;
        for (const auto& row : store()->allEvents())
            events.push_back(nlohmann::json::parse(row.content));
        return events;
    }
    static std::vector<int> types(const std::vector<nlohmann::json>& events)
    {
        std::vector<int> t;
        for (const auto& e : events)
            t.push_back(e["et"]);
        return t;
    }
    void post(const char* name) { pf::NotificationCenter::defaultCenter().post(name); }
};

}

TEST_F(StatsFront, SessionsOpenAfterTheIdleTimeAndAtLocalMidnight)
{
    offline();
    MRDataReport::start4LMConnect("100200");
    auto start = storedEvents();
    ASSERT_EQ(types(start), (std::vector<int> { 2 }));
    EXPECT_EQ(start[0]["ky"], "LMC100200");
    EXPECT_EQ(start[0]["ev"]["ch"], "LMConnect");
    EXPECT_FALSE(start[0]["ev"].contains("cn"));

    struct Case { double away; bool opens; };
    size_t expected = 1;
    for (auto c : { Case { 29, false }, Case { 30, true }, Case { 5, false } }) {
        SCOPED_TRACE(c.away);
        post(pf::Application::kDidEnterBackgroundNotification);
        env.fastForwardBy(c.away);
        post(pf::Application::kWillEnterForegroundNotification);
        expected += c.opens;
        EXPECT_EQ(storedEvents().size(), expected);
    }
    auto events = storedEvents();
    EXPECT_NE(events[0]["si"], events[1]["si"]);

    // The first event after local midnight belongs to a new session.
    auto fields = pf::DateFormatter::localFields(env.now()).value();
    env.fastForwardBy(86400 - fields.hour * 3600 - fields.minute * 60 - fields.second);
    MRA4LC::trackCustomEvent("late", { });
    events = storedEvents();
    ASSERT_EQ(types(events), (std::vector<int> { 2, 2, 2, 1000 }));
    EXPECT_EQ(events[3]["si"], events[2]["si"]);
    EXPECT_NE(events[2]["si"], events[1]["si"]);
}

TEST_F(StatsFront, TheNamelessScriptEndOfATimedEventEndsIt)
{
    offline();
    pf::Dictionary props { { "k", pf::Value("w") } };
    MRA4LC::trackCustomKeyValueEventBegin("kv2", props);
    env.fastForwardBy(3);
    MRDataReport::js_reportError(pf::Value("ignored"));
    MRDataReport::js_trackCustomEndKVEventProps("kv2", props);
    MRDataReport::js_trackCustomEndKVEventProps("kv2", props);
    std::vector<nlohmann::json> custom;
    for (const auto& e : storedEvents())
        if (e["et"] == 1000)
            custom.push_back(e);
    ASSERT_EQ(custom.size(), 1u);
    EXPECT_EQ(custom[0]["ei"], "kv2");
    EXPECT_EQ(custom[0]["du"], 3);
}

TEST_F(StatsFront, TimedEventsReportTheirDurationOnce)
{
    offline();
    EXPECT_EQ(MRA4LC::getCustomeEventKey("a", { pf::Value("b"), pf::Value("c") }), "a[bc");
    EXPECT_EQ(MRA4LC::getCustomeKeyValueEventKey("a", { { "k", pf::Value("v") } }), "a{kv");

    pf::Dictionary props { { "k", pf::Value("v") } };
    MRA4LC::trackCustomKeyValueEventBegin("kv", props);
    env.fastForwardBy(5);
    MRA4LC::trackCustomKeyValueEventBegin("kv", props); // keeps the first start
    env.fastForwardBy(2);
    MRA4LC::trackCustomKeyValueEventEnd("kv", props);
    MRA4LC::trackCustomKeyValueEventEnd("kv", props); // ended already
    MRA4LC::trackCustomEventBegin("quick", { pf::Value("x") });
    MRA4LC::trackCustomEventEnd("quick", { pf::Value("x") });
    MRA4LC::trackCustomEventEnd("never", { });

    auto events = storedEvents();
    std::vector<nlohmann::json> custom;
    for (const auto& e : events)
        if (e["et"] == 1000)
            custom.push_back(e);
    ASSERT_EQ(custom.size(), 2u);
    EXPECT_EQ(custom[0]["ei"], "kv");
    EXPECT_EQ(custom[0]["du"], 7);
    EXPECT_EQ(custom[0]["kv"], nlohmann::json({ { "k", "v" } }));
    EXPECT_EQ(custom[1]["ei"], "quick");
    EXPECT_EQ(custom[1]["du"], 1);

    // The table holds at most 1024 open events.
    for (int i = 0; i < 1024; ++i)
        MRA4LC::trackCustomEventBegin("t", { pf::Value(i) });
    MRA4LC::trackCustomEventBegin("overflow", { });
    MRA4LC::trackCustomEventEnd("overflow", { });
    MRA4LC::trackCustomEventEnd("t", { pf::Value(1023) });
    events = storedEvents();
    EXPECT_EQ(events.back()["ei"], "t");
    EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const auto& e) { return e.value("ei", "") == "overflow"; }), 0);
}

TEST_F(StatsFront, TheAccountGoesOutOncePerProcessAndPerSession)
{
    offline();
    MRA4LC::reportLM("account-1");
    MRA4LC::trackCustomEvent("a", { });
    MRA4LC::trackCustomEvent("b", { });
    EXPECT_EQ(types(storedEvents()), (std::vector<int> { 2, 1001, 1001, 1000, 1000 }));
    post(pf::Application::kDidEnterBackgroundNotification);
    env.fastForwardBy(31);
    post(pf::Application::kDidBecomeActiveNotification);
    auto events = storedEvents();
    EXPECT_EQ(types(events), (std::vector<int> { 2, 1001, 1001, 1000, 1000, 2, 1001 }));
    EXPECT_EQ(events.back()["lm"], "account-1");
}

TEST_F(StatsFront, StrategiesDecideWhenEventsGo)
{
    struct Case {
        const char* name;
        Status network;
        int strategy;
        bool smart;
        size_t stored;
        size_t sent;
    };
    const Case cases[] = {
        { "no network stores whatever the strategy", Status::NotReachable, 99, true, 2, 0 },
        { "smart reporting on Wi-Fi sends at once", Status::ViaWiFi, 5, true, 0, 2 },
        { "unknown strategy with a network drops", Status::ViaCellular, 99, true, 0, 0 },
        { "strategy 4 off Wi-Fi stores", Status::ViaCellular, 4, true, 2, 0 },
        { "strategy 1 sends at once", Status::ViaCellular, 1, false, 0, 2 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        resetEngine();
        upload->setAnswer({ });
        auto before = uploadedEvents().size();
        pf::Reachability::setOverride(c.network);
        auto& config = MRA4LCConfig::shared();
        config.smartReporting = c.smart;
        config.reportStrategy = c.strategy;
        MRA4LC::trackCustomEvent("e", { }); // opens a session too: two events
        settle();
        EXPECT_EQ(store()->allEvents().size(), c.stored);
        EXPECT_EQ(uploadedEvents().size() - before, c.sent);
        // Empty the store for the next case. The network comes first: the send runs on the
        // store's queue and would otherwise find no network, keeping the events for later.
        pf::Reachability::setOverride(Status::ViaWiFi);
        store()->sendCachedEvents(-1);
        settle();
        ASSERT_TRUE(store()->allEvents().empty());
    }
}

TEST_F(StatsFront, StrategyTwoSendsAtThirtyAndFiveAfterItsPeriod)
{
    pf::Reachability::setOverride(Status::ViaCellular);
    MRA4LCConfig::shared().reportStrategy = 2;
    for (int i = 0; i < 28; ++i)
        MRA4LC::trackCustomEvent("e", { }); // and the session event: 29
    settle();
    EXPECT_TRUE(upload->uploads().empty());
    MRA4LC::trackCustomEvent("thirtieth", { });
    settle();
    EXPECT_EQ(batchSizes(), (std::vector<size_t> { 30 }));
    EXPECT_EQ(store()->storedEventCount(), 0u);

    resetEngine();
    upload->setAnswer({ });
    auto defaults = pf::UserDefaults::standard();
    pf::Reachability::setOverride(Status::ViaCellular);
    MRDataReport::start4LMConnect("1");
    settle();
    EXPECT_EQ(defaults->integerForKey(MRA4LC::kSentTsKey), static_cast<long long>(env.now()));
    env.fastForwardBy(1439 * 60);
    MRA4LC::trackCustomEvent("early", { });
    settle();
    EXPECT_EQ(upload->uploads().size(), 1u);
    env.fastForwardBy(60);
    MRA4LC::trackCustomEvent("due", { });
    settle();
    ASSERT_EQ(upload->uploads().size(), 2u);
    // Both sessions (the day changed in between) and both events.
    EXPECT_EQ(upload->uploads().back().size(), 4u);
    EXPECT_TRUE(store()->allEvents().empty());
    EXPECT_EQ(defaults->integerForKey(MRA4LC::kSentTsKey), static_cast<long long>(env.now()));
}

TEST_F(StatsFront, PolicyFetchesWhenDueAndSwitchesStatisticsOff)
{
    auto fetches = [&] { return server.requests("/lmconnectopen/").size(); };
    MRDataReport::mraReportApi("get_user_info");
    settle();
    EXPECT_EQ(fetches(), 1u);
    auto config = ConfigManager::GetInstance();
    ASSERT_TRUE(pf::FileManager::exists(config->path()));
    EXPECT_EQ(config->config().find("ConfigTimeStamp")->doubleValue(), env.now());

    struct Step { double advance; size_t fetches; };
    for (auto s : { Step { 0, 1 }, Step { 24 * 3600, 1 }, Step { 1, 2 } }) {
        env.fastForwardBy(s.advance);
        MRDataReport::mraReportApi("x");
        settle();
        EXPECT_EQ(fetches(), s.fetches);
    }

    server.setFault("*", "/lmconnectopen/openapi/policy_conf",
        peers::PeerReply::json(R"({"ret":0,"Common_ta_enable":0,"Common_SSO_LzoneVersion":4})"));
    env.fastForwardBy(25 * 3600);
    MRDataReport::mraReportApi("y");
    settle();
    EXPECT_FALSE(config->isDataReportEnable());
    EXPECT_FALSE(MRA4LCConfig::shared().statEnable);
    EXPECT_EQ(*config->config().find("CommonSSoLZoneVersion"), pf::Value("3.5.0"));
    auto saved = pf::PropertyList::readFile(config->path()).value();
    EXPECT_FALSE(saved["DataReportEnable"].boolValue());
    EXPECT_EQ(saved["ConfigTimeStamp"].doubleValue(), env.now());

    auto before = uploadedEvents().size();
    MRA4LC::trackCustomEvent("dropped", { });
    settle();
    EXPECT_EQ(uploadedEvents().size(), before);
    EXPECT_TRUE(store()->allEvents().empty());
}

TEST_F(StatsFront, AnUnreadablePolicyFileKeepsStatisticsOnUntilReplaced)
{
    const std::string path = pf::FileManager::join(env.sandbox().documentsPath(), ConfigManager::kFileName);
    pf::FileManager::createDirectory(env.sandbox().documentsPath(), true);
    for (auto content : { std::string("\x01garbage\xff"), *pf::PropertyList::writeXml(pf::Value(pf::Array { pf::Value(1) })) }) {
        resetEngine();
        ASSERT_TRUE(pf::FileManager::writeAtomically(path, content));
        auto config = ConfigManager::GetInstance();
        EXPECT_TRUE(config->isDataReportEnable());
        MRDataReport::mraReportApi("z");
        settle();
        auto saved = pf::PropertyList::readFile(path);
        ASSERT_TRUE(saved && saved->isDictionary());
        EXPECT_TRUE((*saved)["DataReportEnable"].boolValue());
    }
}

TEST_F(StatsFront, ReportPings)
{
    struct Case {
        const char* name;
        std::function<bool()> ping;
        std::optional<std::string> query;
    };
    const Case cases[] = {
        { "kind 1 sends nothing", [] { return MRDataReport::reportData(1, "a", "1", "v"); }, std::nullopt },
        { "no version", [] { return MRDataReport::reportData(0, "act", "100", std::nullopt); },
            "strValue=100&nValue=act&qver=ios.SDK.1.8&tag=0" },
        { "time truncated", [] { return MRDataReport::reportDataWithTime(0, "act", "100", 2.9, "v1"); },
            "strValue=100&nValue=act&qver=v1&elt=2&tag=0" },
        { "a time beyond 32 bits is clamped", [] { return MRDataReport::reportDataWithTime(0, "act", "100", 1e12, "v1"); },
            "strValue=100&nValue=act&qver=v1&elt=2147483647&tag=0" },
        { "no action", [] { return !MRDataReport::reportData(0, std::nullopt, "100", "v"); }, std::nullopt },
        { "no app id: no parameter at all", [] { return MRDataReport::reportBonuliDataWithTime("act", std::nullopt, 1, "v"); }, "" },
        { "given parameters in their order, escaped", [] {
             MRDataReport::http({ { "z", "1" }, { "a", "x y&=" }, { "n", pf::Value(7) } });
             return true;
         },
            "z=1&a=x%20y%26%3D&n=7" },
        { "no parameters", [] {
             MRDataReport::http({});
             return true;
         },
            "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.clearRequests();
        EXPECT_TRUE(c.ping());
        settle();
        auto pings = server.requests("/report/");
        if (!c.query) {
            EXPECT_TRUE(pings.empty());
            continue;
        }
        ASSERT_EQ(pings.size(), 1u);
        EXPECT_EQ(pings[0].method, "GET");
        EXPECT_EQ(pings[0].path, "/report/report");
        EXPECT_EQ(pings[0].query, *c.query);
    }
}

TEST_F(StatsFront, ScriptsReachTheEngineThroughSdkReportUtils)
{
    offline();
    auto view = MorrowWebViewHost::create();
    auto runEnv = MorrowJSRunEnv::create(view, {});
    view->evaluateJavascript(MROSDKJSBridge::bootstrapScript());
    ASSERT_TRUE(runEnv->registNativeObj(MROSDKJSBridgeTools::dataReportObject()));
    auto js = [&](const std::string& script) { return view->evaluateJavascript(script); };

    EXPECT_EQ(js(R"(String(sdk_reportUtils.reportData()))"), "true");
    js(R"(sdk_reportUtils.startLM4Connect("42"))");
    js(R"(sdk_reportUtils.reportLM("acct"))");
    js(R"(sdk_reportUtils.trackCustomKVEvent("kv", JSON.stringify({a: "1"})))");
    js(R"(sdk_reportUtils.trackCustomBeginKVEventt("timed", JSON.stringify({b: "2"})))");
    settle(); // switching off drops what is still waiting to be processed
    js(R"(sdk_reportUtils.mraSetEnable("false"))");
    js(R"(sdk_reportUtils.trackCustomEvent("off", "x"))");

    auto events = storedEvents();
    // The session, the account, the key-value event; nothing after the switch.
    ASSERT_EQ(types(events), (std::vector<int> { 2, 1001, 1000 }));
    EXPECT_EQ(events[1]["lm"], "acct");
    EXPECT_EQ(events.back()["kv"], nlohmann::json({ { "a", "1" } }));
    EXPECT_EQ(events.back()["ky"], "LMC42");
}
