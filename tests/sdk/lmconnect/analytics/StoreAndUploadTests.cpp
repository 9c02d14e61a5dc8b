#include "AnalyticsPeers.h"

#include "sdk/lmconnect/analytics/MRA4LCCustomEvent.h"
#include "sdk/lmconnect/analytics/MRA4LCHelper.h"
#include "sdk/lmconnect/analytics/MRA4LCSessionEnv.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/PipedChild.h"
#include "tests/support/UnreadableRange.h"

#include <set>

#include <sqlite3.h>

namespace {

std::shared_ptr<MRA4LCCustomEvent> customEvent(const std::string& id, std::optional<std::uint32_t> ts = std::nullopt)
{
    auto event = std::make_shared<MRA4LCCustomEvent>();
    event->eventID = id;
    if (ts)
        event->ts = *ts;
    return event;
}

// Runs one statement on the database file behind the engine's back (a crash, an old version).
void sql(const std::string& path, const std::string& statement)
{
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    // The store's queue may still hold its write lock for a moment after the work the test
    // waited for; wait for the lock rather than fail (the wait only ends a hung test).
    sqlite3_busy_timeout(db, static_cast<int>(pf::TaskEnvironment::kHangGuardSeconds * 1000));
    EXPECT_EQ(sqlite3_exec(db, statement.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << statement;
    sqlite3_close(db);
}

// The events' texts in the database file, oldest first.
std::vector<std::string> storedContents(const std::string& path)
{
    std::vector<std::string> contents;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK) << path;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "select content from events order by event_id", -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW)
            contents.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return contents;
}

}

TEST_F(AnalyticsPeers, UploadBodiesAreEncipheredAndLargeOnesGzipFramed)
{
    struct Case { size_t jsonBytes; const char* encoding; };
    for (auto c : { Case { 255, "rc4" }, Case { 256, "rc4,gzip" }, Case { 40000, "rc4,gzip" } }) {
        SCOPED_TRACE(c.jsonBytes);
        std::string text = "\"" + std::string(c.jsonBytes - 4, 'x') + "\"";
        pf::Bytes json;
        json.push_back('[');
        json.insert(json.end(), text.begin(), text.end());
        json.push_back(']');
        ASSERT_EQ(json.size(), c.jsonBytes);

        std::string encoding;
        auto body = MRA4LCDispatcher::frame(json, encoding);
        ASSERT_TRUE(body);
        EXPECT_EQ(encoding, c.encoding);
        MRA4LCHelper::chiperRC4(*body);
        if (c.jsonBytes < 256) {
            EXPECT_EQ(*body, json);
        } else {
            std::uint32_t length = (*body)[0] << 24 | (*body)[1] << 16 | (*body)[2] << 8 | (*body)[3];
            EXPECT_EQ(length, c.jsonBytes);
            pf::Bytes inflated;
            ASSERT_EQ(MRA4LCHelper::gUnzip(pf::Bytes(body->begin() + 4, body->end()), inflated), 0);
            EXPECT_EQ(inflated, json);
        }

        bool outcome = false;
        MRA4LCDispatcher::getInstance()->send({ text }, [&](bool ok) { outcome = ok; });
        settle();
        EXPECT_TRUE(outcome);
        ASSERT_FALSE(upload->uploads().empty());
        EXPECT_EQ(upload->uploads().back(), nlohmann::json::array({ std::string(c.jsonBytes - 4, 'x') }));
        auto last = server.requests("/lmconnectutil/").back();
        EXPECT_EQ(last.header("Content-Encoding"), c.encoding);
        EXPECT_EQ(last.header("Content-Type"), "json");
    }
    EXPECT_TRUE(upload->refusals().empty());
    pf::Bytes nothing;
    EXPECT_EQ(MRA4LCHelper::gZip({}, nothing), -1);
}

TEST_F(AnalyticsPeers, RepliesSucceedOnlyWith200AndTheirConfigurationApplies)
{
    MRA4LCDataConfigHolder::initSingleton({ });
    nlohmann::json rs1 = { { "1", { { "c", { { "rs", 1 } } }, { "v", 2 }, { "m", "d" } } } };
    nlohmann::json oversized = rs1;
    oversized["pad"] = std::string(MRA4LCDispatcher::kMaxReplyBytes, 'p');
    struct Case {
        const char* name;
        peers::LMStatUploadService::Answer answer;
        bool ok;
        int strategyAfter;
    };
    const Case cases[] = {
        { "204 fails", { 204 }, false, 3 },
        { "500 fails and applies nothing", { 500, rs1 }, false, 3 },
        { "rc4 reply, not a dictionary inside", { 200, nlohmann::json(5), true }, true, 3 },
        // The server took the upload; what it says beyond the limit is not read.
        { "a reply above the limit counts, unread", { 200, oversized, true }, true, 3 },
        { "RC4 reply is deciphered", { 200, rs1, true, "RC4" }, true, 1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        upload->setAnswer(c.answer);
        std::optional<bool> outcome;
        MRA4LCDispatcher::getInstance()->send({ "{}" }, [&](bool ok) { outcome = ok; });
        settle();
        EXPECT_EQ(outcome, c.ok);
        EXPECT_EQ(MRA4LCConfig::shared().reportStrategy, c.strategyAfter);
    }
    // The configuration was stored: it applies again at the next start.
    resetEngine();
    EXPECT_EQ(MRA4LCConfig::shared().reportStrategy, 3);
    MRA4LCDataConfigHolder::initSingleton({ });
    EXPECT_EQ(MRA4LCConfig::shared().reportStrategy, 1);
}

TEST_F(AnalyticsPeers, ServerConfigurationsApplyByVersion)
{
    auto holder = MRA4LCDataConfigHolder::initSingleton({ });
    auto type1 = [](nlohmann::json content, int version) {
        return pf::Json::parse(nlohmann::json { { "cfg", { { "1", { { "c", content }, { "v", version }, { "m", "x" } } } } } }.dump()).value();
    };
    struct Case { const char* name; pf::Value reply; bool statEnable; int strategy; };
    const Case cases[] = {
        { "hibernate below the engine", type1({ { "__HIBERNATE__", "0.5.4" } }, 1), true, 3 },
        { "rs 0 changes nothing", type1({ { "rs", 0 } }, 2), true, 3 },
        { "rs 2", type1({ { "rs", 2 } }, 3), true, 2 },
        { "the same version is ignored", type1({ { "rs", 6 } }, 3), true, 2 },
        { "content text that is no JSON", type1("{nope", 4), true, 2 },
        { "hibernate at the engine's version", type1({ { "__HIBERNATE__", "0.5.5" } }, 5), false, 2 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        holder->updateOnlineConfig(c.reply);
        EXPECT_EQ(MRA4LCConfig::shared().statEnable, c.statEnable);
        EXPECT_EQ(MRA4LCConfig::shared().reportStrategy, c.strategy);
    }
    MRA4LCConfig::shared().statEnable = true;
    holder->updateOnlineConfig(type1({ { "__HIBERNATE__", "1.0" } }, 9));
    EXPECT_FALSE(MRA4LCConfig::shared().statEnable);
    // A version part of 19 digits and more is still a number above the engine's.
    MRA4LCConfig::shared().statEnable = true;
    holder->updateOnlineConfig(type1({ { "__HIBERNATE__", "9223372036854775808.0" } }, 10));
    EXPECT_FALSE(MRA4LCConfig::shared().statEnable);
    holder->updateOnlineConfig(pf::Json::parse(R"({"cfg":{"2":{"c":{"color":"red"},"v":1,"m":""}}})").value());
    EXPECT_EQ(MRA4LCConfig::shared().getCustomProperty("color", "none"), pf::Value("red"));
    EXPECT_EQ(MRA4LCConfig::shared().getCustomProperty("size", "none"), pf::Value("none"));
}

TEST(MRA4LCHelperVersions, PartsCompareAsNumbersOfAnyLength)
{
    struct Case { const char* a; const char* b; bool notLower; };
    const Case cases[] = {
        { "0.5.5", "0.5.5", true }, { "0.5.4", "0.5.5", false }, { "0.10", "0.9", true }, { "1", "0.9.9", true },
        { "0.5", "0.5.1", false }, { "00012", "12", true }, { "12", "00013", false },
        { "9223372036854775808", "1", true }, { "1", "9223372036854775808", false },
        { "99999999999999999999999999.1", "99999999999999999999999999.2", false },
        { "18446744073709551617", "18446744073709551616", true },
    };
    for (const auto& c : cases)
        EXPECT_EQ(MRA4LCHelper::versionNotLower(c.a, c.b), c.notLower) << c.a << " vs " << c.b;
}

TEST(MRA4LCHelperNetwork, WiFiIsAvailableOnlyOnWiFi)
{
    pf::TaskEnvironment env;
    using Status = pf::Reachability::Status;
    const std::pair<Status, bool> cases[] = { { Status::ViaWiFi, true }, { Status::ViaCellular, false }, { Status::NotReachable, false } };
    for (auto [status, wifi] : cases) {
        pf::Reachability::setOverride(status);
        EXPECT_EQ(MRA4LCHelper::isWiFiAvailable(), wifi) << static_cast<int>(status);
    }
}

TEST_F(AnalyticsPeers, PendingEventsGoInBatchesOfThirtyOldestFirst)
{
    for (int i = 0; i < 75; ++i)
        store()->storeEvent(customEvent("e" + std::to_string(i), 1'700'000'000 + i));
    settle();
    EXPECT_EQ(store()->storedEventCount(), 75u);

    store()->sendCachedEvents(-1);
    settle();
    EXPECT_EQ(batchSizes(), (std::vector<size_t> { 30, 30, 15 }));
    auto events = uploadedEvents();
    ASSERT_EQ(events.size(), 75u);
    EXPECT_EQ(events.front()["ei"], "e0");
    EXPECT_EQ(events.back()["ei"], "e74");
    EXPECT_TRUE(store()->allEvents().empty());
    EXPECT_EQ(store()->storedEventCount(), 0u);
}

TEST_F(AnalyticsPeers, FollowUpBatchesSendEachPendingEventOnce)
{
    struct Case {
        int pending;
        int count;
        std::vector<size_t> batches;
        std::uint32_t left;
    };
    const Case cases[] = {
        // More asked for than a batch, and at least that many still pending: both follow-ups go.
        { 75, 40, { 30, 30, 15 }, 0 },
        { 50, 40, { 30, 20 }, 0 },
        // A batch is never smaller because less was asked for.
        { 20, 10, { 20 }, 0 },
        // As many as asked: another batch only while that many are pending.
        { 45, 30, { 30 }, 15 },
        { 65, 30, { 30, 30 }, 5 },
    };
    const auto path = store()->path();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pending << " pending, " << c.count << " asked for");
        // What the last case left is gone at this launch.
        resetEngine();
        sql(path, "delete from events");
        const size_t before = upload->uploads().size();
        for (int i = 0; i < c.pending; ++i)
            store()->storeEvent(customEvent("e" + std::to_string(i), 1'700'000'000 + i));
        settle();
        ASSERT_EQ(store()->storedEventCount(), std::uint32_t(c.pending));

        store()->sendCachedEvents(c.count);
        settle();
        const auto uploads = upload->uploads();
        std::vector<size_t> batches;
        std::set<std::string> ids;
        for (size_t i = before; i < uploads.size(); ++i) {
            batches.push_back(uploads[i].size());
            for (const auto& e : uploads[i])
                EXPECT_TRUE(ids.insert(e["ei"].get<std::string>()).second) << e["ei"] << " went twice";
        }
        EXPECT_EQ(batches, c.batches);
        EXPECT_EQ(store()->storedEventCount(), c.left);
    }
}

TEST_F(AnalyticsPeers, FailedUploadsCountAndTheThirdDropsTheEvent)
{
    upload->setAnswer({ 500 });
    store()->storeEvent(customEvent("flaky"));
    settle();
    for (std::uint32_t failures = 1; failures <= 3; ++failures) {
        store()->sendCachedEvents(-1);
        settle();
        auto rows = store()->allEvents();
        if (failures < 3) {
            ASSERT_EQ(rows.size(), 1u);
            EXPECT_EQ(rows[0].sendCount, failures);
            EXPECT_EQ(rows[0].status, MRA4LCStore::kPending);
        } else {
            EXPECT_TRUE(rows.empty());
        }
    }
    EXPECT_EQ(upload->uploads().size(), 3u);
}

TEST_F(AnalyticsPeers, RowsStillSendingAtRestartGoAgain)
{
    store()->storeEvent(customEvent("a"));
    store()->storeEvent(customEvent("b"));
    settle();
    auto path = store()->path();
    resetEngine();
    sql(path, "update events set status=2"); // the process ended during their upload

    // The new store counts its rows on its queue, so what it answers before that has run
    // depends on the threads' timing: only the count after it is checked.
    store();
    settle();
    EXPECT_EQ(store()->storedEventCount(), 2u);
    store()->sendCachedEvents(-1);
    settle();
    EXPECT_EQ(uploadedEvents().size(), 2u);
}

// An event sent at once is in the store from before its upload begins until the service has
// taken it, so a quit or a kill during the upload cannot lose it; while its upload runs no
// retry of the stored events sends it again. Refused, it waits with the stored ones, with all
// its tries still ahead.
TEST_F(AnalyticsPeers, AnEventSentAtOnceIsStoredUntilTheServiceHasTakenIt)
{
    auto ids = [](const std::vector<nlohmann::json>& events) {
        std::vector<std::string> found;
        for (const auto& e : events)
            found.push_back(e["ei"]);
        return found;
    };
    store()->storeEvent(customEvent("stored", 1'700'000'000));
    settle();
    peers::PeerReply held = peers::PeerReply::bytes("", "text/plain");
    held.hold = true;
    server.setFault("POST", "/lmconnectutil/sdk", held, 1);
    store()->sendEventAtOnce(customEvent("at-once", 1'700'000'001));
    ASSERT_TRUE(env.runUntil([&] { return !server.requests("/lmconnectutil/").empty(); }));
    auto rows = store()->allEvents();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NE(rows[1].content.find("\"at-once\""), std::string::npos);
    EXPECT_EQ(rows[1].status, MRA4LCStore::kSending);
    EXPECT_EQ(store()->storedEventCount(), 1u);

    store()->sendCachedEvents(-1); // waits behind the held upload, and takes only the stored event
    server.releaseHeld();
    settle();
    EXPECT_EQ(ids(uploadedEvents()), std::vector<std::string> { "stored" });
    EXPECT_TRUE(store()->allEvents().empty());

    upload->setAnswer({ 500 });
    store()->sendEventAtOnce(customEvent("refused"));
    settle();
    rows = store()->allEvents();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].status, MRA4LCStore::kPending);
    EXPECT_EQ(rows[0].sendCount, 0u);
    EXPECT_EQ(store()->storedEventCount(), 1u);
    upload->setAnswer({ });
    store()->sendEventAtOnce(customEvent("taken"));
    settle();
    // The service records the refused upload too.
    EXPECT_EQ(ids(uploadedEvents()), (std::vector<std::string> { "stored", "refused", "taken", "refused" }));
    EXPECT_TRUE(store()->allEvents().empty());
}

// A launch that ends, by a quit or a kill, while its events' uploads wait for an answer keeps
// them: the next launch sends them with its own, each once.
TEST_F(AnalyticsPeers, EventsWhoseUploadAQuitOrAKillCutShortGoAtTheNextLaunch)
{
    for (bool killed : { false, true }) {
        SCOPED_TRACE(killed ? "killed" : "quit");
        const std::string home = pf::FileManager::join(env.sandbox().tmpPath(), killed ? "killed" : "quit");
        const std::string database = pf::FileManager::join(home, std::string("Documents/") + MRA4LCStore::kFileName);
        const std::string cut = killed ? "cut-by-a-kill" : "cut-by-a-quit";
        peers::PeerReply held = peers::PeerReply::bytes("", "text/plain");
        held.hold = true;
        server.setFault("POST", "/lmconnectutil/sdk", held);
        const size_t asked = server.requests("/lmconnectutil/").size();
        {
            testsupport::PipedChild child({ ANALYTICS_UPLOAD_CHILD, home, server.rootURL(), cut });
            ASSERT_TRUE(env.runUntil([&] { return server.requests("/lmconnectutil/").size() > asked; })) << "an upload is under way";
            EXPECT_FALSE(storedContents(database).empty()) << "the event went out before it was stored";
            ASSERT_TRUE(child.waitFor("stored\n"));
            if (!killed)
                child.write("quit\n");
            auto ended = child.end(killed ? SIGKILL : 0);
            if (!killed) {
                ASSERT_TRUE(WIFEXITED(ended.status)) << ended.errorOutput;
                EXPECT_EQ(WEXITSTATUS(ended.status), 0) << ended.errorOutput;
            }
        }
        server.clearFaults();
        server.releaseHeld();
        auto kept = storedContents(database);
        ASSERT_EQ(kept.size(), 2u) << "the session's event and the custom one";
        EXPECT_NE(kept[1].find("\"" + cut + "\""), std::string::npos);

        const size_t sent = uploadedEvents().size();
        auto next = testsupport::runChildProcess({ ANALYTICS_UPLOAD_CHILD, home, server.rootURL(), "next", "--until-sent" });
        ASSERT_TRUE(WIFEXITED(next.status)) << next.errorOutput;
        EXPECT_EQ(WEXITSTATUS(next.status), 0) << next.errorOutput;
        auto events = uploadedEvents();
        std::multiset<std::string> arrived;
        for (size_t i = sent; i < events.size(); ++i)
            arrived.insert(events[i].dump());
        // (Two sessions opened within one second read the same.)
        for (const auto& text : kept)
            EXPECT_GE(arrived.count(nlohmann::json::parse(text).dump()), 1u) << text;
        EXPECT_EQ(arrived.size(), 4u) << "both launches' sessions and events, each once";
        EXPECT_TRUE(storedContents(database).empty());
    }
}

TEST_F(AnalyticsPeers, TheCapDropsTheOldestSecondOnceAndKeepsTheCountRight)
{
    const std::uint32_t t0 = 1'700'000'000;
    store()->storeEvent(customEvent("old", t0));
    store()->storeEvent(customEvent("old", t0));
    for (int i = 0; i < 1022; ++i)
        store()->storeEvent(customEvent("mid", t0 + 1 + i / 100));
    settle();
    ASSERT_EQ(store()->storedEventCount(), 1024u);

    store()->storeEvent(customEvent("new1", t0 + 50));
    settle();
    EXPECT_EQ(store()->storedEventCount(), 1023u);
    store()->storeEvent(customEvent("new2", t0 + 50));
    settle();
    // Below the cap again: nothing more is deleted.
    EXPECT_EQ(store()->storedEventCount(), 1024u);
    auto rows = store()->allEvents();
    ASSERT_EQ(rows.size(), 1024u);
    EXPECT_NE(rows.front().content.find("\"mid\""), std::string::npos);
}

TEST_F(AnalyticsPeers, LongTextsWithQuotesAreStoredAndSentWhole)
{
    std::string text = "it's \"quoted\"; drop table events; -- " + std::string(5000, 'q') + "'";
    auto event = customEvent("quotes");
    event->args = pf::Array { pf::Value(text) };
    store()->storeEvent(event);
    settle();
    ASSERT_EQ(store()->allEvents().size(), 1u);
    store()->sendCachedEvents(-1);
    settle();
    auto events = uploadedEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["ar"][0], text);
}

TEST_F(AnalyticsPeers, TriggersPiledUpDuringAnUploadSendEachEventOnce)
{
    upload->setAnswer({ 200, std::nullopt, false, "", 0.5 });
    for (int i = 0; i < 40; ++i)
        store()->storeEvent(customEvent("e" + std::to_string(i), 1'700'000'000 + i));
    for (int i = 0; i < 5; ++i) {
        store()->sendCachedEvents(-1);
        store()->sendCachedEvents(30);
    }
    settle();
    auto events = uploadedEvents();
    EXPECT_EQ(events.size(), 40u);
    std::set<std::string> ids;
    for (const auto& e : events)
        ids.insert(e["ei"].get<std::string>());
    EXPECT_EQ(ids.size(), 40u);
}

TEST_F(AnalyticsPeers, ASessionEventStoredBeforeAnyUserRecordDoesNotHang)
{
    auto event = std::make_shared<MRA4LCSessionEnv>();
    event->sid = 7;
    store()->storeEvent(event);
    settle();
    auto rows = store()->allEvents();
    ASSERT_EQ(rows.size(), 1u);
    auto json = nlohmann::json::parse(rows[0].content);
    EXPECT_EQ(json["et"], 2);
    EXPECT_EQ(json["ut"], 0);
    EXPECT_EQ(json["ev"]["cn"], "WIFI");
    EXPECT_EQ(json["mc"], "02:00:00:00:00:00");
}

TEST_F(AnalyticsPeers, ACorruptDatabaseFileIsReplacedByAWorkingOne)
{
    auto path = store()->path();
    resetEngine();
    ASSERT_TRUE(pf::FileManager::writeAtomically(path, std::string(4096, '\x5a')));
    store()->storeEvent(customEvent("after"));
    settle();
    ASSERT_EQ(store()->allEvents().size(), 1u);
    EXPECT_EQ(store()->storedEventCount(), 1u);
    // The damaged file is kept aside, never deleted.
    EXPECT_EQ(pf::FileManager::readText(pf::FileManager::asidePath(path)), std::string(4096, '\x5a'));
}

// A read of the database that fails once (a disk's sector read again, a network file system's
// server back) costs no event and sets nothing aside; one that fails at every try leaves the file
// as it is, and the next launch finds every event.
TEST_F(AnalyticsPeers, AReadThatFailsLeavesTheDatabaseInPlaceWithEveryEvent)
{
    store()->storeEvent(customEvent("a"));
    store()->storeEvent(customEvent("b"));
    settle();
    const auto path = store()->path();
    struct Case {
        int error;
        int refusing;
    };
    for (const Case c : { Case { EIO, 1 }, Case { ETIMEDOUT, 1 }, Case { EIO, testsupport::UnreadableRange::kEveryRead } }) {
        SCOPED_TRACE(testing::Message() << "error " << c.error << ", refusing " << c.refusing);
        resetEngine();
        const auto size = pf::FileManager::size(path);
        ASSERT_TRUE(size);
        {
            testsupport::UnreadableRange refused(path, 0, *size, c.refusing, c.error);
            store();
            settle();
            if (c.refusing == 1) {
                EXPECT_EQ(store()->allEvents().size(), 2u);
            }
            EXPECT_GT(testsupport::UnreadableRange::refusals(), 0);
            resetEngine();
        }
        EXPECT_TRUE(pf::FileManager::asidePaths(path).empty());
        EXPECT_EQ(store()->allEvents().size(), 2u);
        settle();
        EXPECT_EQ(store()->storedEventCount(), 2u);
    }
}

TEST_F(AnalyticsPeers, UserMarksChangeOnANewDayOrVersionOnly)
{
    const double day = 86400;
    struct Case { const char* name; double after; const char* storedVersion; int type; bool restamped; };
    const Case cases[] = {
        { "same day, same version", 60, nullptr, 0, false },
        { "next day", day, nullptr, 2, true },
        { "new version", 60, "0.1", 2, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settle();
        sql(store()->path(), "delete from user");
        resetEngine();
        auto made = store()->loadUser();
        ASSERT_TRUE(made);
        EXPECT_EQ(made->userType, 0);
        if (c.storedVersion)
            sql(store()->path(), std::string("update user set app_ver='") + c.storedVersion + "'");
        resetEngine();
        env.fastForwardBy(c.after);
        auto user = MRA4LCHelper::getInstance()->getUser();
        ASSERT_TRUE(user);
        EXPECT_EQ(user->userType, c.type);
        settle();
        auto stored = store()->loadUser();
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->userType, c.type);
        EXPECT_EQ(stored->tagTime == static_cast<std::uint32_t>(env.now()), c.restamped);
    }
}
