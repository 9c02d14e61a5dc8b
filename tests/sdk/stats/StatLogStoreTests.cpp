#include "StatsTestSupport.h"
#include "tests/support/KillAtStep.h"
#include "tests/support/UnreadableRange.h"

#include "platform/foundation/Crypto.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Sandbox.h"
#include "sdk/stats/StatLogCodec.h"
#include "sdk/stats/TalmerinMobStatLogStore.h"

#include <SQLiteCpp/Database.h>

#include <climits>

using pf::Array;
using pf::Dictionary;
using pf::Value;
using Manager = TalmerinMobStatLogManager;

namespace {

Dictionary session(const std::string& id, long long start, std::size_t padding = 0)
{
    return Dictionary { { "s", Value(start) }, { "e", Value(start + 1000) }, { "i", Value(id) },
        { "p", Value(Array { Value(Dictionary { { "n", Value(std::string(padding, 'p')) }, { "d", Value(5) } }) }) },
        { "c", Value(0) } };
}

Dictionary event(const std::string& id, long long t)
{
    return Dictionary { { "c", Value(1) }, { "l", Value("label") }, { "i", Value(id) }, { "t", Value(t) },
        { "d", Value(0) }, { "s", Value("0|") } };
}

Value logWith(std::vector<Dictionary> events, std::vector<Dictionary> sessions)
{
    Dictionary log = Manager::createBlankLog();
    Array ev, pr;
    for (auto& e : events)
        ev.push_back(Value(e));
    for (auto& s : sessions)
        pr.push_back(Value(s));
    log.set("ev", Value(ev));
    log.set("pr", Value(pr));
    return Value(log);
}

std::string json(const Value& value) { return StatLogCodec::json(value).value_or("(unwritable)"); }

}

TEST(StatLogStore, TakesOverWhatAnEarlierVersionKeptInTheDefaultsOnce)
{
    StatsWorld world;
    auto defaults = pf::UserDefaults::standard();
    Value current = logWith({ event("tap", 1) }, { session("s1", 1) });
    Value archiveA = logWith({}, { session("a", 1) });
    Value archiveB = logWith({ event("b", 2) }, {});
    auto putInDefaults = [&] {
        defaults->setObject(Manager::kLogKey, current);
        defaults->setObject(Manager::kOldLogKey, Value(Array { archiveA, Value(5), archiveB }));
        defaults->setObject(Manager::kLastSendKey, Value(1234.0));
        defaults->setObject(Manager::kIndexPerSessionKey, Value(3));
    };
    putInDefaults();
    defaults->setString(Manager::kInprogressSessionKey, "s1");

    // The first launch, the next one, one after a launch that was killed before it could clear
    // the defaults, and one whose store noted both keys' values under one digest (as stores did
    // before each value had its own): the same log each time, nothing taken twice.
    const std::string oneDigest = "one digest of both";
    for (const std::string launch : { "first", "next", "killed before the defaults were cleared", oneDigest.c_str() }) {
        auto manager = world.manager();
        EXPECT_EQ(json(world.log()), json(current)) << launch;
        Array archive = manager->archivedLogs();
        ASSERT_EQ(archive.size(), 2u) << launch;
        EXPECT_EQ(json(archive[0]), json(archiveA)) << launch;
        EXPECT_EQ(json(archive[1]), json(archiveB)) << launch;
        EXPECT_EQ(manager->lastSendTimestamp(), 1234) << launch;
        EXPECT_EQ(manager->logSentIndexPerSession(), 3) << launch;
        ASSERT_TRUE(manager->getInprogressSession()) << launch;
        for (const char* key : { Manager::kLastSendKey, Manager::kIndexPerSessionKey })
            EXPECT_TRUE(defaults->objectForKey(key).isMissing()) << launch << ": " << key;
        // The archive held an item that is not a log: the stored copy stays.
        EXPECT_FALSE(defaults->objectForKey(Manager::kOldLogKey).isMissing()) << launch;
        EXPECT_TRUE(pf::FileManager::exists(TalmerinMobStatLogStore::defaultPath()));
        manager.reset();
        world.relaunch();
        if (launch == "next")
            putInDefaults();
        if (launch == "killed before the defaults were cleared") {
            SQLite::Database db(TalmerinMobStatLogStore::defaultPath(), SQLite::OPEN_READWRITE);
            db.exec("DELETE FROM imports");
            SQLite::Statement note(db, "INSERT INTO imports(source) VALUES(?)");
            Value both(Array { current, defaults->objectForKey(Manager::kOldLogKey) });
            note.bind(1, "defaults " + pf::Crypto::sha1Hex(pf::KeyedArchiver::archivedValue(both)));
            note.exec();
        }
    }
}

// The launch that takes an earlier version's log in, ended at any step of its writing (a phone
// ending the app, a power cut): the next launch finishes the work, and every entry is stored
// once and the keys leave the defaults.
TEST(StatLogStore, AnEarlierLogIsTakenInOnceWhateverStepEndsTheLaunch)
{
    Value current = logWith({ event("now", 3) }, { session("s-now", 3) });
    Value archiveA = logWith({ event("a", 1) }, { session("s-a", 1) });
    Value archiveB = logWith({ event("b", 2) }, {});
    // A device whose store and keychain items exist, with the earlier log in its defaults: the
    // child's launch then writes only what the take-in writes.
    auto prepare = [&](StatsWorld& world) {
        world.manager();
        world.relaunch();
        auto defaults = pf::UserDefaults::standard();
        defaults->setObject(Manager::kLogKey, current);
        defaults->setObject(Manager::kOldLogKey, Value(Array { archiveA, archiveB }));
        defaults->setObject(Manager::kLastSendKey, Value(1234.0));
        pf::UserDefaults::resetStandard();
    };
    auto takeIn = [](StatsWorld& world, long at, const std::string& log = {}) {
        testsupport::KillPlan plan;
        plan.under = world.env.sandbox().homePath();
        plan.at = at;
        plan.log = log;
        return testsupport::runChildProcess({ STATS_CRASH_CHILD, plan.under, "take_in" }, testsupport::killAtStepEnvironment(plan));
    };

    long steps = 0;
    {
        StatsWorld world;
        prepare(world);
        std::string log = pf::Sandbox::current()->tmpPath() + "/steps.log";
        auto child = takeIn(world, 0, log);
        ASSERT_TRUE(WIFEXITED(child.status) && WEXITSTATUS(child.status) == 0) << child.status << child.errorOutput;
        steps = static_cast<long>(testsupport::readKilledSteps(log).size());
        ASSERT_GT(steps, 0);
    }
    for (long at = 1; at <= steps; ++at) {
        SCOPED_TRACE("killed before step " + std::to_string(at) + " of " + std::to_string(steps));
        StatsWorld world;
        prepare(world);
        ASSERT_TRUE(testsupport::wasKilled(takeIn(world, at)));

        world.relaunch();
        auto manager = world.manager();
        std::vector<std::string> stored;
        Array logs = manager->archivedLogs();
        logs.push_back(world.log());
        for (const Value& log : logs) {
            for (const char* list : { "ev", "pr" }) {
                for (std::size_t i = 0; i < log[list].size(); ++i)
                    stored.push_back(log[list][i]["i"].stringValue());
            }
        }
        EXPECT_EQ(stored, (std::vector<std::string> { "a", "s-a", "b", "now", "s-now" }));
        EXPECT_EQ(manager->lastSendTimestamp(), 1234);
        for (const char* key : { Manager::kLogKey, Manager::kOldLogKey, Manager::kLastSendKey })
            EXPECT_TRUE(pf::UserDefaults::standard()->objectForKey(key).isMissing()) << key;
    }
}

TEST(StatLogStore, ManyWritesSurviveARelaunchInOrderAndCountedEventsMergeAcrossIt)
{
    StatsWorld world(1'700'006'400.0 + 10 * 3600);
    auto manager = world.manager();
    long long now = TalmerinMobStat::nowMs();
    for (int i = 0; i < 300; ++i) {
        manager->putEventWithDurationTime(Dictionary { { "i", Value("timed") }, { "d", Value(i) } });
        if (i % 50 == 0)
            manager->putSession(session("s" + std::to_string(i / 100), i));
    }
    manager->putEvent(event("tap", now));
    ASSERT_TRUE(world.settle());
    std::string before = json(world.log());
    std::size_t size = manager->logSize();
    EXPECT_EQ(size, before.size());

    manager.reset();
    world.relaunch();
    manager = world.manager();
    EXPECT_EQ(json(world.log()), before);
    EXPECT_EQ(manager->logSize(), size);
    Value ev = world.log()["ev"];
    ASSERT_EQ(ev.size(), 301u);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(ev[i]["d"].intValue(), i);
    EXPECT_EQ(world.log()["pr"].size(), 3u) << "a session put again replaces its earlier copy";

    // The event logged before the relaunch takes the one logged after it, within the hour.
    manager->putEvent(event("tap", now + 60000));
    ASSERT_TRUE(world.settle());
    ev = world.log()["ev"];
    ASSERT_EQ(ev.size(), 301u);
    EXPECT_EQ(ev[300]["c"].intValue(), 2);
    EXPECT_EQ(ev[300]["s"], Value("0|60000|"));
    // A send that reaches nobody still notes its time, for the next launch too.
    pf::HostTable::pointAllAt(std::nullopt);
    manager->sendLog();
    ASSERT_TRUE(world.settle());
    manager.reset();
    world.relaunch();
    EXPECT_EQ(world.log()["ev"][300]["c"].intValue(), 2);
    EXPECT_EQ(world.manager()->lastSendTimestamp(), TalmerinMobStat::nowMs());
}

TEST(StatLogStore, TheRunningSizeAndTheArchiveCapHoldAcrossChangesAndRelaunches)
{
    StatsWorld world;
    auto manager = world.manager();
    // After every change the size kept as the log changed is its JSON's.
    auto check = [&](const char* what) {
        EXPECT_EQ(manager->logSize(), StatLogCodec::jsonLength(world.log())) << what;
    };
    check("blank");
    manager->syncPutSession(session("1", 1));
    manager->syncPutSession(session("2", 2));
    manager->syncPutSession(session("1", 3));
    check("a session replaced");
    manager->syncPutEvent(event("tap", 1));
    manager->syncPutEvent(event("tap", 2));
    check("a counted event merged");
    Dictionary full = event("full", 1);
    full.set("c", Value(LLONG_MAX));
    manager->syncPutEvent(full);
    manager->syncPutEvent(event("full", 2));
    EXPECT_EQ(world.log()["ev"][1]["c"], Value(LLONG_MAX)) << "a count at its largest stays there";
    for (int i = 0; i < 4; ++i)
        manager->syncPutException(Dictionary { { "t", Value(i) }, { "c", Value(std::string(2000, 'x')) }, { "y", Value("") } });
    EXPECT_EQ(world.log()["ex"].size(), 2u);
    check("exception entries trimmed");
    for (int i = 0; i < 12; ++i)
        manager->syncPutSession(session("huge" + std::to_string(i), i, Manager::kSplitBytes));
    check("split");

    manager.reset();
    world.relaunch();
    manager = world.manager();
    check("relaunched");
    Array archive = manager->archivedLogs();
    ASSERT_EQ(archive.size(), Manager::kMaxArchivedLogs);
    EXPECT_EQ(archive.front()["pr"][0]["i"], Value("huge1"));
    EXPECT_EQ(archive.back()["pr"][0]["i"], Value("huge10"));
    EXPECT_EQ(world.log()["pr"][0]["i"], Value("huge11"));
}

TEST(StatLogStore, ADamagedStoreIsLoggedAndTheRestIsKept)
{
    struct Case {
        const char* what;
        std::function<void(const std::string& path)> damage;
        const char* logLine;
        std::size_t eventsKept;
    };
    auto rows = [](const std::string& path) {
        SQLite::Database db(path, SQLite::OPEN_READWRITE);
        db.exec("INSERT INTO current(list, position, entry) VALUES('ev', 10, '{not json'), ('ev', 11, '[1, 2]'), "
                "('ev', 12, x'0102'), ('zz', 1, '{}'), ('pr', 1, 7)");
    };
    const Case cases[] = {
        { "not a database", [](const std::string& path) { pf::FileManager::writeAtomically(path, std::string_view("not a database, just text")); },
            "moved to", 0 },
        { "tables of another shape", [](const std::string& path) {
             pf::FileManager::removeItem(path);
             SQLite::Database db(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
             db.exec("CREATE TABLE current(x)");
         },
            "has another shape", 0 },
        { "damaged rows", rows, "4 entries this version cannot read", 2 },
    };
    for (const Case& c : cases) {
        StatsWorld world;
        auto manager = world.manager();
        manager->syncPutEvent(event("kept", 1));
        manager->syncPutEventWithDurationTime(event("timed", 2));
        manager->putInprogressSession("s1");
        manager.reset();
        world.relaunch();
        std::string path = TalmerinMobStatLogStore::defaultPath();
        c.damage(path);

        pf::Log::startCapture();
        manager = world.manager();
        EXPECT_TRUE(pf::Log::contains(c.logLine)) << c.what;
        pf::Log::stopCapture();
        EXPECT_EQ(world.log()["ev"].size(), c.eventsKept) << c.what;
        EXPECT_EQ(pf::UserDefaults::standard()->objectForKey(Manager::kInprogressSessionKey), Value("s1")) << c.what;
        // A blank store is usable at once and keeps what is put into it.
        manager->syncPutEvent(event("after", 3));
        manager.reset();
        world.relaunch();
        Value ev = world.log()["ev"];
        ASSERT_EQ(ev.size(), c.eventsKept + 1) << c.what;
        EXPECT_EQ(ev[c.eventsKept]["i"], Value("after")) << c.what;
    }
}

// Each damaged store is kept aside for a person to recover: a second one does not take the
// first one's place.
TEST(StatLogStore, EachDamagedStoreIsKeptAsideInACopyOfItsOwn)
{
    StatsWorld world;
    std::string path = TalmerinMobStatLogStore::defaultPath();
    const std::string damage[] = { "the first damaged store", "the second damaged store" };
    for (const auto& bytes : damage) {
        world.manager().reset();
        world.relaunch();
        ASSERT_TRUE(pf::FileManager::writeAtomically(path, std::string_view(bytes)));
        auto manager = world.manager();
        manager->syncPutEvent(event("after", 1));
        manager.reset();
        world.relaunch();
        EXPECT_EQ(world.log()["ev"].size(), 1u) << bytes;
    }
    EXPECT_EQ(pf::FileManager::readText(path + ".corrupt"), damage[0]);
    EXPECT_EQ(pf::FileManager::readText(path + ".corrupt-2"), damage[1]);
}

// A read of the log's file that fails once (a disk's sector read again, a network file system's
// server back) costs nothing: the log stays in its file, whole, and nothing is set aside. One
// that fails at every try leaves the file as it is for the next launch.
TEST(StatLogStore, AReadThatFailsOnceLeavesTheLogInItsFileAndOneThatLastsLeavesTheFileAlone)
{
    struct Case {
        int error;
        int refusing;
    };
    for (const Case c : { Case { EIO, 1 }, Case { ETIMEDOUT, 1 }, Case { EIO, testsupport::UnreadableRange::kEveryRead } }) {
        SCOPED_TRACE(testing::Message() << "error " << c.error << ", refusing " << c.refusing);
        StatsWorld world;
        world.manager()->syncPutEvent(event("kept", 1));
        world.relaunch();
        const std::string path = TalmerinMobStatLogStore::defaultPath();
        const auto bytes = pf::FileManager::read(path);
        ASSERT_TRUE(bytes);
        {
            testsupport::UnreadableRange refused(path, 0, bytes->size(), c.refusing, c.error);
            pf::Log::startCapture();
            auto manager = world.manager();
            EXPECT_GT(testsupport::UnreadableRange::refusals(), 0);
            EXPECT_EQ(pf::Log::contains("kept in memory until the next launch"), c.refusing != 1);
            EXPECT_FALSE(pf::Log::contains("moved to"));
            pf::Log::stopCapture();
            EXPECT_EQ(world.log()["ev"].size(), c.refusing == 1 ? 1u : 0u);
            manager->syncPutEvent(event("later", 2));
            world.relaunch();
        }
        EXPECT_TRUE(pf::FileManager::asidePaths(path).empty());
        EXPECT_EQ(world.log()["ev"].size(), c.refusing == 1 ? 2u : 1u);
    }
}

TEST(StatLogStore, WithoutItsFileTheLogLivesInMemoryAndTheDefaultsWait)
{
    StatsWorld world;
    std::string path = TalmerinMobStatLogStore::defaultPath();
    ASSERT_TRUE(pf::FileManager::createDirectory(path, true));
    Value earlier = logWith({ event("earlier", 1) }, {});
    pf::UserDefaults::standard()->setObject(Manager::kLogKey, earlier);

    pf::Log::startCapture();
    auto manager = world.manager();
    EXPECT_TRUE(pf::Log::contains("kept in memory until the next launch"));
    pf::Log::stopCapture();
    manager->syncPutEvent(event("now", 2));
    EXPECT_EQ(world.log()["ev"].size(), 1u);
    EXPECT_EQ(pf::UserDefaults::standard()->objectForKey(Manager::kLogKey), earlier) << "left for a launch that can keep it";

    manager.reset();
    world.relaunch();
    pf::FileManager::removeItem(path);
    EXPECT_EQ(json(world.log()), json(earlier));
    EXPECT_TRUE(pf::UserDefaults::standard()->objectForKey(Manager::kLogKey).isMissing());
}

// Events of one name and label are found in the order they were logged, whichever way the log
// changed around them: an entry replaced in place, one renamed, the first dropped, a relaunch,
// a clear.
TEST(StatLogStore, EventsOfOneNameAndLabelAreFoundInOrderThroughEveryChange)
{
    StatsWorld world;
    using List = TalmerinMobStatLogStore::List;
    auto open = [] { return std::make_unique<TalmerinMobStatLogStore>(TalmerinMobStatLogStore::defaultPath()); };
    auto store = open();
    auto at = [](long long t) { return [t](const Value& e) { return e["t"] == Value(t); }; };
    auto any = [](const Value&) { return true; };
    auto find = [&](const std::string& id, const std::function<bool(const Value&)>& accept) {
        return store->findEvent(Value(id), Value("label"), accept);
    };
    using Found = std::optional<std::size_t>;

    for (auto [id, t] : std::vector<std::pair<std::string, long long>> { { "tap", 1 }, { "swipe", 1 }, { "tap", 2 }, { "tap", 3 }, { "swipe", 2 } })
        store->append(List::Events, event(id, t));
    EXPECT_EQ(find("tap", any), Found(0));
    EXPECT_EQ(find("tap", at(2)), Found(2));
    EXPECT_EQ(find("tap", at(3)), Found(3));
    EXPECT_EQ(find("swipe", at(2)), Found(4));
    EXPECT_EQ(find("tap", at(9)), std::nullopt) << "none accepted";
    EXPECT_EQ(find("pinch", any), std::nullopt);

    // A change that keeps name and label keeps the event's place among its namesakes.
    store->replace(List::Events, 2, event("tap", 20));
    EXPECT_EQ(find("tap", at(20)), Found(2));
    EXPECT_EQ(find("tap", at(3)), Found(3)) << "the ones after a replaced event are still found";
    store->append(List::Events, event("tap", 4));
    EXPECT_EQ(find("tap", at(4)), Found(5));

    // A rename moves it to its new name.
    store->replace(List::Events, 0, event("moved", 1));
    EXPECT_EQ(find("tap", any), Found(2));
    EXPECT_EQ(find("moved", any), Found(0));
    EXPECT_EQ(find("tap", at(4)), Found(5));

    // Dropping the first shifts every index down by one.
    store->append(List::Events, event("tap", 5), true);
    EXPECT_EQ(find("moved", any), std::nullopt);
    EXPECT_EQ(find("tap", any), Found(1));
    EXPECT_EQ(find("tap", at(5)), Found(5));
    EXPECT_EQ(find("swipe", at(2)), Found(3));

    // What a new launch reads is indexed the same.
    store.reset();
    store = open();
    EXPECT_EQ(find("tap", at(3)), Found(2));
    EXPECT_EQ(find("tap", at(5)), Found(5));
    EXPECT_EQ(find("swipe", any), Found(0));

    store->clearCurrentLog();
    EXPECT_EQ(find("tap", any), std::nullopt);
    store->append(List::Events, event("tap", 6));
    EXPECT_EQ(find("tap", any), Found(0));
}

// A newer version may keep lists this one does not know beside the log: loading, splitting and
// clearing after an upload leave their rows as they were.
TEST(StatLogStore, RowsOfAListThisVersionDoesNotKnowAreLeftAsTheyAre)
{
    StatsWorld world;
    std::string path = TalmerinMobStatLogStore::defaultPath();
    world.manager()->syncPutEvent(event("tap", 1));
    world.relaunch();
    const std::string newer = R"({"newer":[1,2]})";
    {
        SQLite::Database db(path, SQLite::OPEN_READWRITE);
        SQLite::Statement add(db, "INSERT INTO current(list, position, entry) VALUES('nw', 0, ?)");
        add.bind(1, newer);
        add.exec();
    }
    auto foreignRows = [&] {
        SQLite::Database db(path, SQLite::OPEN_READONLY);
        SQLite::Statement rows(db, "SELECT entry FROM current WHERE list = 'nw'");
        std::vector<std::string> entries;
        while (rows.executeStep())
            entries.push_back(rows.getColumn(0).getString());
        return entries;
    };
    const std::vector<std::string> untouched { newer };

    pf::Log::startCapture();
    auto manager = world.manager();
    EXPECT_TRUE(pf::Log::contains("1 entries of lists this version does not know"));
    pf::Log::stopCapture();
    EXPECT_EQ(json(world.log()), json(logWith({ event("tap", 1) }, {})));
    EXPECT_EQ(foreignRows(), untouched) << "loaded";

    manager->syncPutSession(session("big", 1, Manager::kSplitBytes));
    ASSERT_EQ(manager->archivedLogs().size(), 1u);
    EXPECT_EQ(foreignRows(), untouched) << "split";
    EXPECT_EQ(manager->logSize(), StatLogCodec::jsonLength(world.log()));

    manager->syncSendAllLog();
    ASSERT_EQ(world.uploads().size(), 2u);
    EXPECT_EQ(world.log(), Value(Manager::createBlankLog()));
    EXPECT_EQ(foreignRows(), untouched) << "cleared after an upload";
}

// Rows of this version's lists that it cannot read (another version's encoding, not a
// dictionary, too large) stay in their rows and places, byte for byte, through a load, puts, a
// split and a send; nothing of them is sent, and what is put goes after them.
TEST(StatLogStore, RowsOfAKnownListThisVersionCannotReadAreLeftAsTheyAre)
{
    StatsWorld world;
    std::string path = TalmerinMobStatLogStore::defaultPath();
    world.manager()->syncPutEvent(event("tap", 1));
    world.relaunch();
    struct Row {
        const char* list;
        int position;
        std::function<void(SQLite::Statement&)> bind;
    };
    pf::Bytes textArchive = pf::KeyedArchiver::archivedValue(Value("not a dictionary"));
    std::string large = R"({"i":")" + std::string(TalmerinMobStatLogStore::kMaxEntryBytes, 'x') + R"("})";
    const Row written[] = {
        // Another version's encoding: a text that is no JSON, a blob that is no keyed archive, a number.
        { "ev", 1, [](auto& s) { s.bind(3, std::string("v2:{\"i\":\"tap\"}")); } },
        { "ex", 0, [](auto& s) { s.bind(3, "\x01\x02", 2); } },
        { "pr", 0, [](auto& s) { s.bind(3, 7); } },
        // Not a dictionary, as JSON and as a keyed archive.
        { "ev", 3, [](auto& s) { s.bind(3, std::string("[1,2]")); } },
        { "pr", 2, [&](auto& s) { s.bind(3, textArchive.data(), static_cast<int>(textArchive.size())); } },
        // Too large.
        { "ex", 4, [&](auto& s) { s.bind(3, large); } },
    };
    {
        SQLite::Database db(path, SQLite::OPEN_READWRITE);
        for (const Row& row : written) {
            SQLite::Statement add(db, "INSERT INTO current(list, position, entry) VALUES(?, ?, ?)");
            add.bind(1, row.list);
            add.bind(2, row.position);
            row.bind(add);
            add.exec();
        }
    }
    // Those rows as they lie: type and bytes.
    auto unread = [&] {
        SQLite::Database db(path, SQLite::OPEN_READONLY);
        std::vector<std::string> rows;
        for (const Row& row : written) {
            SQLite::Statement query(db, "SELECT typeof(entry), entry FROM current WHERE list = ? AND position = ?");
            query.bind(1, row.list);
            query.bind(2, row.position);
            if (!query.executeStep()) {
                rows.push_back(std::string("gone: ") + row.list + " " + std::to_string(row.position));
                continue;
            }
            SQLite::Column entry = query.getColumn(1);
            rows.push_back(query.getColumn(0).getString() + ": "
                + std::string(static_cast<const char*>(entry.getBlob()), static_cast<std::size_t>(entry.getBytes())));
        }
        return rows;
    };
    const std::vector<std::string> untouched = unread();

    pf::Log::startCapture();
    auto manager = world.manager();
    EXPECT_TRUE(pf::Log::contains("6 entries this version cannot read"));
    pf::Log::stopCapture();
    EXPECT_EQ(json(world.log()), json(logWith({ event("tap", 1) }, {})));
    EXPECT_EQ(manager->logSize(), StatLogCodec::jsonLength(world.log()));
    EXPECT_TRUE(unread() == untouched) << "loaded";

    // New entries take places after them.
    manager->syncPutEvent(event("swipe", 2));
    ASSERT_TRUE(manager->syncPutException(Dictionary { { "t", Value(3) }, { "c", Value("text") }, { "y", Value("") } }));
    manager->syncPutSession(session("s1", 1));
    Value before = world.log();
    EXPECT_EQ(before["ev"].size(), 2u);
    EXPECT_EQ(before["ex"].size(), 1u);
    EXPECT_EQ(before["pr"].size(), 1u);

    manager->syncPutSession(session("big", 2, Manager::kSplitBytes));
    Value split = logWith({}, { session("big", 2, Manager::kSplitBytes) });
    Array archive = manager->archivedLogs();
    ASSERT_EQ(archive.size(), 1u);
    EXPECT_EQ(json(archive[0]), json(before));
    EXPECT_EQ(json(world.log()), json(split));
    EXPECT_TRUE(unread() == untouched) << "split";

    manager->syncSendAllLog();
    ASSERT_EQ(world.uploads().size(), 2u);
    for (const char* list : { "ev", "ex", "pr" }) {
        EXPECT_EQ(json(world.uploads()[0][list]), json(before[list])) << list;
        EXPECT_EQ(json(world.uploads()[1][list]), json(split[list])) << list;
    }
    EXPECT_EQ(world.log(), Value(Manager::createBlankLog()));
    EXPECT_TRUE(unread() == untouched) << "cleared after an upload";

    manager.reset();
    world.relaunch();
    manager = world.manager();
    manager->syncPutEvent(event("after", 4));
    world.relaunch();
    EXPECT_EQ(json(world.log()), json(logWith({ event("after", 4) }, {})));
    EXPECT_TRUE(unread() == untouched) << "relaunched";
}

// A sent log whose rows all read is cleared by deleting the table whole, far quicker than row
// by row: so even a row that appeared after the load (which a delete naming this version's
// rows would leave) goes with it.
TEST(StatLogStore, ASentLogWhoseRowsAllReadIsClearedWhole)
{
    StatsWorld world;
    auto manager = world.manager();
    for (int i = 0; i < 10; ++i)
        manager->syncPutSession(session("s" + std::to_string(i), i, 19000));
    ASSERT_EQ(world.log()["pr"].size(), 10u);
    ASSERT_GT(manager->logSize(), 190000u);
    std::string path = TalmerinMobStatLogStore::defaultPath();
    SQLite::Database db(path, SQLite::OPEN_READWRITE);
    db.exec(R"(INSERT INTO current(list, position, entry) VALUES('nw', 0, '{}'))");

    manager->syncSendAllLog();
    ASSERT_EQ(world.uploads().size(), 1u);
    EXPECT_EQ(db.execAndGet("SELECT count(*) FROM current").getInt(), 0);
}

// A launch reads at most 16 MB of the current log. The rows past that are logged and stay in the
// file, in their places, through the clear after an upload, so a later launch reads and sends them.
TEST(StatLogStore, RowsPastTheSizeCapAreKeptForALaterLaunch)
{
    StatsWorld world;
    using List = TalmerinMobStatLogStore::List;
    const std::string path = TalmerinMobStatLogStore::defaultPath();
    // Data keeps the rows quick to write and read: such an entry is kept as a keyed archive.
    auto entry = [](int i) {
        return Dictionary { { "i", Value("s" + std::to_string(i)) },
            { "d", Value(pf::Bytes(TalmerinMobStatLogStore::kMaxCurrentLogBytes / 4 - 4096, static_cast<std::uint8_t>(i))) } };
    };
    {
        TalmerinMobStatLogStore store(path);
        for (int i = 0; i < 5; ++i)
            ASSERT_TRUE(store.append(List::Sessions, entry(i)));
    }
    auto ids = [](const TalmerinMobStatLogStore& store) {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < store.count(List::Sessions); ++i)
            out.push_back(store.entry(List::Sessions, i)["i"].stringValue());
        return out;
    };

    pf::Log::startCapture();
    {
        TalmerinMobStatLogStore store(path);
        EXPECT_TRUE(pf::Log::contains("the rest is left in the file for a later launch"));
        EXPECT_EQ(ids(store), (std::vector<std::string> { "s0", "s1", "s2", "s3" }));
        store.clearCurrentLog(); // as after the upload of what was read
        EXPECT_EQ(store.count(List::Sessions), 0u);
    }
    pf::Log::stopCapture();
    TalmerinMobStatLogStore later(path);
    ASSERT_EQ(ids(later), (std::vector<std::string> { "s4" }));
    EXPECT_EQ(later.entry(List::Sessions, 0), Value(entry(4)));
}

// The upload's text is put together from the entries' texts as they lie in memory: whatever was
// appended, replaced (the new text moves out of the list's order), removed, or could only be
// kept as a keyed archive, it reads as the JSON of the log, before and after a relaunch.
TEST(StatLogStore, TheUploadTextFollowsEveryChangeOfTheLog)
{
    StatsWorld world;
    using List = TalmerinMobStatLogStore::List;
    auto open = [] { return std::make_unique<TalmerinMobStatLogStore>(TalmerinMobStatLogStore::defaultPath()); };
    auto store = open();
    auto check = [&](const std::string& what) {
        std::string expected = json(Value(store->currentLog()));
        EXPECT_EQ(store->currentLogJson().value_or("(none)"), expected) << what;
        EXPECT_EQ(store->currentLogBytes(), expected.size()) << what;
    };
    auto withData = [](const std::string& id) { return Dictionary { { "i", Value(id) }, { "d", Value(pf::Bytes { 1, 2 }) } }; };

    check("blank");
    for (int i = 0; i < 30; ++i)
        store->append(List::Events, event("e" + std::to_string(i), i));
    check("appended in order");
    store->replace(List::Events, 10, event("e10", 100));
    check("one replaced");
    // An entry that grows with every change leaves more and more behind.
    Dictionary growing = event("e20", 20);
    for (int i = 0; i < 300; ++i) {
        growing.set("s", Value(growing.find("s")->stringValue() + std::to_string(i) + "|"));
        store->replace(List::Events, 20, growing);
        if (i % 37 == 0)
            check("replaced " + std::to_string(i + 1) + " times");
    }
    check("replaced many times");

    store->putSession("s1", session("s1", 1));
    store->putSession("s2", session("s2", 2));
    store->putSession("s1", session("s1", 3, 5000));
    check("a session put again");
    for (int i = 0; i < 6; ++i)
        store->append(List::Exceptions, Dictionary { { "t", Value(i) }, { "c", Value(std::string(1500, 'x')) } }, i >= 3);
    check("exceptions dropped from the front");

    store->putSession("kept", withData("kept"));
    EXPECT_EQ(store->currentLogJson(), std::nullopt) << "an entry JSON cannot hold";
    store->putSession("kept", session("kept", 4));
    check("that entry replaced by one JSON holds");
    store->replace(List::Events, 5, withData("e5"));
    EXPECT_EQ(store->currentLogJson(), std::nullopt);
    store->replace(List::Events, 5, event("e5", 5));
    check("an event back as JSON");

    std::string before = json(Value(store->currentLog()));
    store.reset();
    store = open();
    EXPECT_EQ(store->currentLogJson().value_or("(none)"), before) << "relaunched";
    store->clearCurrentLog();
    check("cleared");
    store->append(List::Events, event("after", 1));
    check("appended after the clear");
}

// The index of events by name grows as names come (and is rebuilt when an event is dropped):
// each name is still found at its place.
TEST(StatLogStore, EveryNameIsFoundAsTheIndexGrows)
{
    StatsWorld world;
    using List = TalmerinMobStatLogStore::List;
    TalmerinMobStatLogStore store(TalmerinMobStatLogStore::defaultPath());
    auto any = [](const Value&) { return true; };
    auto find = [&](int name) { return store.findEvent(Value("n" + std::to_string(name)), Value("label"), any); };
    const int names = 1500;
    for (int i = 0; i < names; ++i)
        store.append(List::Events, event("n" + std::to_string(i), i));
    for (int i = 0; i < names; ++i)
        ASSERT_EQ(find(i), std::optional<std::size_t>(i)) << i;
    EXPECT_EQ(find(names), std::nullopt);
    store.append(List::Events, event("n" + std::to_string(names), names), true);
    EXPECT_EQ(find(0), std::nullopt);
    for (int i = 1; i <= names; ++i)
        ASSERT_EQ(find(i), std::optional<std::size_t>(i - 1)) << i;
    store.clearCurrentLog();
    EXPECT_EQ(find(1), std::nullopt);
}

// A change the file refuses (another connection holds its write lock) is lost whole, on disk
// and in memory, and the changes after it go through as if it had not been asked for; a
// number waiting to be written goes with the first change that is kept.
TEST(StatLogStore, AChangeTheFileRefusesLeavesNothingBehind)
{
    StatsWorld world;
    using List = TalmerinMobStatLogStore::List;
    const std::string path = TalmerinMobStatLogStore::defaultPath();
    TalmerinMobStatLogStore store(path);
    ASSERT_TRUE(store.append(List::Events, event("first", 1)));
    store.setNumberLater("waiting", 5);
    {
        SQLite::Database other(path, SQLite::OPEN_READWRITE);
        other.exec("BEGIN IMMEDIATE");
        pf::Log::startCapture();
        EXPECT_FALSE(store.append(List::Events, event("lost", 2)));
        store.replace(List::Events, 0, event("first", 3));
        store.clearCurrentLog();
        EXPECT_TRUE(pf::Log::contains("could not clear the log"));
        pf::Log::stopCapture();
        other.exec("ROLLBACK");
    }
    EXPECT_EQ(json(Value(store.currentLog())), json(logWith({ event("first", 1) }, {})));
    ASSERT_TRUE(store.append(List::Events, event("second", 4)));
    TalmerinMobStatLogStore later(path);
    EXPECT_EQ(json(Value(later.currentLog())), json(logWith({ event("first", 1), event("second", 4) }, {})));
    EXPECT_EQ(later.number("waiting"), std::optional<double>(5));
}
