#include "StatsTestSupport.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Keychain.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Reachability.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/foundation/UrlRequest.h"
#include "sdk/stats/StatLogCodec.h"
#include "sdk/stats/TalmerinMobStatController.h"
#include "sdk/stats/TalmerinMobStatDeviceInfo.h"
#include "sdk/stats/TalmerinMobStatSession.h"
#include "sdk/stats/TalmerinUDID.h"

#include <algorithm>
#include <sys/inotify.h>
#include <unistd.h>

using pf::Array;
using pf::Dictionary;
using pf::Value;

namespace {

constexpr double kMidnight = 1'700'006'400.0; // 2023-11-15 00:00 UTC

Dictionary sessionDict(const std::string& id, long long start, std::string padding = "")
{
    return Dictionary { { "s", Value(start) }, { "e", Value(start + 1000) }, { "i", Value(id) },
        { "p", Value(Array { Value(Dictionary { { "n", Value(padding) }, { "d", Value(5) }, { "ps", Value(0) } }) }) },
        { "c", Value(0) } };
}

Dictionary countedEvent(long long t)
{
    return Dictionary { { "c", Value(1) }, { "l", Value("label") }, { "i", Value("tap") }, { "t", Value(t) },
        { "d", Value(0) }, { "s", Value("0|") } };
}

}

TEST(StatLogCodec, WritesCompactValidJsonWhoseLengthTheLimitsCount)
{
    struct Case {
        const char* what;
        Value value;
        std::optional<std::string> json;
    };
    const Case cases[] = {
        { "integral times stay integers", Value(Dictionary { { "t", Value(1386342123456.0) }, { "i", Value(1386342123456LL) } }),
            R"({"t":1386342123456,"i":1386342123456})" },
        { "other doubles in shortest form, bools as words", Value(Array { Value(0.5), Value(true), Value::null() }), "[0.5,true,null]" },
        { "keys keep their order", Value(Dictionary { { "z", Value(1) }, { "a", Value(2) } }), R"({"z":1,"a":2})" },
        { "named escapes, other control bytes as \\u00XX, slash as is",
            Value("a\"\\/\n\t\x01\x1f 礼"), "\"a\\\"\\\\/\\n\\t\\u0001\\u001f 礼\"" },
        { "a NUL is escaped", Value(std::string("a\0b", 3)), "\"a\\u0000b\"" },
        { "bytes that are no UTF-8 are shown as \\xHH: nothing is replaced", Value(std::string("x\xff\xc3y")), R"("x\\xFF\\xC3y")" },
        { "in a key too", Value(Dictionary { { "k\xc3", Value(1) } }), R"({"k\\xC3":1})" },
        { "data cannot be written", Value(Dictionary { { "d", Value(pf::Bytes { 1 }) } }), std::nullopt },
        { "infinity cannot be written", Value(Array { Value(1e308 * 10) }), std::nullopt },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StatLogCodec::json(c.value), c.json) << c.what;
        EXPECT_EQ(StatLogCodec::jsonLength(c.value), c.json ? c.json->size() : 0) << c.what;
    }
    pf::Bytes text(3000, 'x');
    auto zipped = StatLogCodec::gzipDeflate(text);
    ASSERT_TRUE(zipped);
    EXPECT_EQ((*zipped)[0], 0x1f);
    EXPECT_EQ((*zipped)[1], 0x8b);
    EXPECT_EQ(StatLogCodec::gzipInflate(*zipped), text);
    EXPECT_EQ(StatLogCodec::gzipDeflate({}), pf::Bytes {});
    pf::Bytes cut(zipped->begin(), zipped->begin() + zipped->size() / 2);
    EXPECT_FALSE(StatLogCodec::gzipInflate(cut));
}

TEST(StatLogManager, StoresSessionsEventsAndExceptionsWithinTheirLimits)
{
    StatsWorld world(kMidnight + 10 * 3600 + 600); // 10:10
    auto manager = world.manager();
    long long now = TalmerinMobStat::nowMs();

    // A session id already stored is replaced and moves to the end.
    manager->syncPutSession(sessionDict("1", 1));
    manager->syncPutSession(sessionDict("2", 2));
    manager->syncPutSession(sessionDict("1", 1));
    Value pr = world.log()["pr"];
    ASSERT_EQ(pr.size(), 2u);
    EXPECT_EQ(pr[0]["i"], Value("2"));
    EXPECT_EQ(pr[1]["i"], Value("1"));

    // Counted events merge within the same rounded hour: 10:10 and 10:20, not 10:40.
    manager->syncPutEvent(countedEvent(now));
    manager->syncPutEvent(countedEvent(now + 600000));
    manager->syncPutEvent(countedEvent(now + 1800000));
    Value ev = world.log()["ev"];
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0]["c"].intValue(), 2);
    EXPECT_EQ(ev[0]["s"], Value("0|600000|"));
    EXPECT_EQ(ev[0]["t"].longValue(), now);
    EXPECT_EQ(ev[1]["c"].intValue(), 1);

    // Exception entries past 5120 bytes: the oldest goes, once.
    std::string big(3000, 'x');
    for (int i = 0; i < 3; ++i)
        manager->syncPutException(Dictionary { { "t", Value(now) }, { "c", Value(big + std::to_string(i)) }, { "y", Value("") } });
    Value ex = world.log()["ex"];
    ASSERT_EQ(ex.size(), 1u);
    EXPECT_EQ(ex[0]["c"], Value(big + "2"));

    // Reaching 204800 bytes splits: the archive gets the log without the session, the current
    // log holds only the session. The archive keeps the newest ten.
    std::string padding(60000, 'p');
    for (int i = 0; i < 3; ++i)
        manager->syncPutSession(sessionDict("big" + std::to_string(i), 10 + i, padding));
    EXPECT_TRUE(manager->archivedLogs().empty());
    manager->syncPutSession(sessionDict("big3", 13, padding));
    ASSERT_EQ(manager->archivedLogs().size(), 1u);
    Value archived = manager->archivedLogs()[0];
    EXPECT_EQ(archived["pr"].size(), 5u);
    EXPECT_EQ(archived["ev"].size(), 2u) << "events stay with the archived log";
    EXPECT_EQ(archived["ex"].size(), 1u);
    Value current = world.log();
    ASSERT_EQ(current["pr"].size(), 1u);
    EXPECT_EQ(current["pr"][0]["i"], Value("big3"));
    EXPECT_EQ(current["ev"].size(), 0u);
    EXPECT_LT(StatLogCodec::jsonLength(archived), TalmerinMobStatLogManager::kSplitBytes);

    std::string huge(210000, 'h');
    for (int i = 0; i < 11; ++i)
        manager->syncPutSession(sessionDict("huge" + std::to_string(i), 100 + i, huge));
    Array archive = manager->archivedLogs();
    ASSERT_EQ(archive.size(), TalmerinMobStatLogManager::kMaxArchivedLogs);
    EXPECT_EQ(archive.back()["pr"][0]["i"], Value("huge9"));
    EXPECT_EQ(archive.front()["pr"][0]["i"], Value("huge0")) << "the oldest ones were dropped";
}

TEST(StatLogManager, BackgroundWritesLandInTheOrderTheyWereAsked)
{
    StatsWorld world;
    auto manager = world.manager();
    manager->setServiceAddress(world.address());
    // Each round stores twenty copies of one session, each newer than the last, and twenty
    // timed events; the newest session copy and the events in order must be what is kept.
    for (int round = 0; round < 20; ++round) {
        // An accepted upload starts the round from a blank log.
        manager->syncSendAllLog();
        ASSERT_EQ(world.log(), Value(TalmerinMobStatLogManager::createBlankLog()));
        std::string id = "s" + std::to_string(round);
        for (int copy = 0; copy < 20; ++copy) {
            manager->putSession(sessionDict(id, copy));
            manager->putEventWithDurationTime(Dictionary { { "i", Value(id) }, { "d", Value(copy) } });
        }
        ASSERT_TRUE(world.settle());
        Value pr = world.log()["pr"];
        ASSERT_EQ(pr.size(), 1u);
        EXPECT_EQ(pr[0]["s"].intValue(), 19) << "round " << round;
        Value ev = world.log()["ev"];
        ASSERT_EQ(ev.size(), 20u);
        for (int copy = 0; copy < 20; ++copy)
            EXPECT_EQ(ev[copy]["d"].intValue(), copy) << "round " << round;
    }
}

TEST(StatLogManager, NoChangeOfTheLogWritesTheDefaultsFile)
{
    StatsWorld world;
    auto manager = world.manager();
    std::string path = pf::UserDefaults::standard()->path();
    std::string folder = path.substr(0, path.rfind('/'));
    std::string name = path.substr(path.rfind('/') + 1);
    int watch = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, folder.c_str(), IN_MOVED_TO), 0);
    // The file replaced atomically: one rename onto it per write.
    auto writes = [&] {
        int count = 0;
        alignas(inotify_event) char buffer[8192];
        for (ssize_t n; (n = read(watch, buffer, sizeof buffer)) > 0;) {
            for (char* p = buffer; p < buffer + n;) {
                auto* event = reinterpret_cast<inotify_event*>(p);
                if (event->len && name == event->name)
                    ++count;
                p += sizeof(inotify_event) + event->len;
            }
        }
        return count;
    };
    writes();
    manager->syncPutSession(sessionDict("1", 1));
    EXPECT_EQ(writes(), 0);
    manager->syncPutEvent(countedEvent(1));
    EXPECT_EQ(writes(), 0);
    manager->syncPutEventWithDurationTime(countedEvent(2));
    EXPECT_EQ(writes(), 0);
    manager->syncPutException(Dictionary { { "t", Value(3) }, { "c", Value("crash") }, { "y", Value("") } });
    EXPECT_EQ(writes(), 0);
    EXPECT_EQ(world.log()["ev"].size(), 2u);
    manager->setLastSendTimestamp(5);
    EXPECT_EQ(writes(), 0);
    // The in-progress session id still lives there, one write (and the watch sees it).
    manager->putInprogressSession("1");
    EXPECT_EQ(writes(), 1);
    close(watch);
}

TEST(StatLogManager, DefaultsOfTheWrongShapeReadAsBlankOrAbsent)
{
    // An earlier version's log in the defaults is checked as it is taken over at launch: what
    // reads comes in, once; when anything did not, the stored copy stays as it was.
    using Manager = TalmerinMobStatLogManager;
    Value event(countedEvent(1));
    Value session(sessionDict("s1", 1));
    Value blank(Manager::createBlankLog());
    Dictionary partial = Manager::createBlankLog();
    partial.set("ev", Value(Array { event }));
    partial.set("pr", Value(Array { session }));
    struct Case {
        Value stored;
        Value read;
        bool kept;
    };
    const Case cases[] = {
        { Value("text"), blank, true },
        { Value(Dictionary { { "ev", Value(Array {}) }, { "ex", Value(Array {}) } }), blank, false },
        { Value(Dictionary { { "ev", Value(Array { Value(3) }) }, { "ex", Value(Array {}) }, { "pr", Value(Array {}) } }), blank, true },
        { Value(Dictionary { { "ev", Value("x") }, { "ex", Value(Array {}) }, { "pr", Value(Array {}) } }), blank, true },
        { Value(Dictionary { { "ev", Value(Array { event, Value(3) }) }, { "pr", Value(Array { session }) } }), Value(partial), true },
        { Value(Dictionary { { "ev", Value(Array { event }) }, { "pr", Value(Array { session }) }, { "zz", Value(1) } }), Value(partial), true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.debugDescription());
        StatsWorld device;
        pf::UserDefaults::standard()->setObject(Manager::kLogKey, c.stored);
        pf::Log::startCapture();
        EXPECT_EQ(device.log(), c.read);
        EXPECT_EQ(pf::Log::contains("the stored log has the wrong shape"), c.kept);
        pf::Log::stopCapture();
        EXPECT_EQ(pf::UserDefaults::standard()->objectForKey(Manager::kLogKey), c.kept ? c.stored : Value::missing());
        device.relaunch();
        EXPECT_EQ(device.log(), c.read) << "taken in once";
        device.manager()->syncPutEventWithDurationTime(countedEvent(1));
        EXPECT_EQ(device.log()["ev"].size(), c.read["ev"].size() + 1) << "a put adds to what was taken in";
    }
    StatsWorld world;
    auto defaults = pf::UserDefaults::standard();
    Value archive(Array { Value(1), blank, Value(Dictionary { { "pr", Value(Array { session }) }, { "ev", Value(Array { Value("x") }) } }) });
    defaults->setObject(Manager::kOldLogKey, archive);
    defaults->setObject(Manager::kLastSendKey, Value("yesterday"));
    defaults->setObject(Manager::kIndexPerSessionKey, Value(Array {}));
    auto manager = world.manager();
    Array archived = manager->archivedLogs();
    ASSERT_EQ(archived.size(), 2u);
    EXPECT_EQ(archived[1]["pr"][0], session);
    EXPECT_EQ(defaults->objectForKey(Manager::kOldLogKey), archive);
    EXPECT_EQ(manager->lastSendTimestamp(), -1);
    EXPECT_EQ(manager->logSentIndexPerSession(), 0);
    EXPECT_TRUE(defaults->objectForKey(Manager::kLastSendKey).isMissing());
    defaults->setObject(Manager::kInprogressSessionKey, Value(5));
    EXPECT_FALSE(manager->getInprogressSession());
}

TEST(StatLogManager, KeychainItemsThatCannotBeReadAreReplaced)
{
    StatsWorld world;
    auto keychain = pf::Keychain::standard();
    pf::Device::current().setHardwareAddress("0A:0B:0C:0D:0E:0F");
    std::string deviceId = pf::Device::current().identifier();
    const std::pair<const char*, pf::Bytes> broken[] = {
        { "not an archive", pf::Bytes { 1, 2, 3 } },
        { "an archive of a number", pf::KeyedArchiver::archivedValue(Value(42)) },
        { "an archive of an empty text", pf::KeyedArchiver::archivedValue(Value("")) },
    };
    for (const auto& [what, data] : broken) {
        for (const char* item : { TalmerinUDID::kDeviceIdItem, TalmerinUDID::kMacAddressItem }) {
            keychain.deletePassword(item, item);
            keychain.addPassword(item, item, data);
        }
        pf::Log::startCapture();
        EXPECT_EQ(TalmerinUDID::value(), deviceId) << what;
        EXPECT_EQ(TalmerinUDID::macAddress(), "0A:0B:0C:0D:0E:0F") << what;
        EXPECT_TRUE(pf::Log::contains("Unarchive of talmerinopenudid failed")) << what;
        EXPECT_TRUE(pf::Log::contains("Unarchive of talmerinmac failed")) << what;
        pf::Log::stopCapture();
        // Stored afresh: the next read needs no repair.
        auto stored = pf::KeyedUnarchiver::unarchivedValue(*keychain.passwordData(TalmerinUDID::kDeviceIdItem, TalmerinUDID::kDeviceIdItem));
        ASSERT_TRUE(stored) << what;
        EXPECT_EQ(*stored, Value(deviceId)) << what;
    }
    // A stored value wins over the device's.
    pf::Device::current().setHardwareAddress("11:11:11:11:11:11");
    EXPECT_EQ(TalmerinUDID::macAddress(), "0A:0B:0C:0D:0E:0F");
}

TEST(StatLogUpload, UploadsArriveWithTheHeaderAndOnlyA200ClearsTheLog)
{
    StatsWorld world;
    pf::Device::current().setCarrier("460", "01");
    auto stat = world.stat();
    stat->setChannelId("");
    stat->setShortAppVersion("");
    auto manager = world.manager();
    manager->setAppId("key-1");
    manager->syncPutEvent(countedEvent(5));
    manager->syncPutException(Dictionary { { "t", Value(6) }, { "c", Value("reason \x01\x02 and more") }, { "y", Value("n") } });

    int successes = 0;
    pf::NotificationCenter::defaultCenter().addObserver(world.service, TalmerinMobStatLogManager::kSuccessNotification,
        [&](const pf::Notification&) { EXPECT_TRUE(pf::RunLoop::main().isMainThread()); ++successes; });

    // Refused: the log stays.
    world.server.setFault("POST", "/stats/app.gif", peers::PeerReply::bytes("no", "text/plain", 500), 1);
    manager->sendLog();
    ASSERT_TRUE(world.settle());
    EXPECT_EQ(world.log()["ev"].size(), 1u);
    EXPECT_EQ(successes, 0);
    EXPECT_EQ(world.server.requests("/stats/").size(), 1u);

    manager->sendLog();
    ASSERT_TRUE(world.settle());
    ASSERT_EQ(world.uploads().size(), 1u);
    Value body = world.uploads()[0];
    EXPECT_EQ(body["ev"][0]["i"], Value("tap"));
    EXPECT_EQ(body["ex"][0]["c"], Value("reason \x01\x02 and more")) << "control bytes arrive as valid JSON";
    Value header = body["he"];
    std::vector<std::string> keys = header.asDictionary()->keys();
    std::sort(keys.begin(), keys.end());
    std::vector<std::string> expected { "a", "ad", "c", "cl", "d", "gl", "h", "i", "k", "l", "m", "n", "o", "op", "s", "sq", "ss", "t", "v", "vd", "w", "wl" };
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(header["c"], Value("AppStore"));
    EXPECT_EQ(header["n"], Value(pf::Bundle::main()->objectForInfoDictionaryKey("CFBundleVersion")));
    EXPECT_EQ(header["k"], Value("key-1"));
    EXPECT_EQ(header["op"], Value("46001"));
    EXPECT_EQ(header["l"], Value("wifi"));
    EXPECT_EQ(header["o"], Value("iOS"));
    EXPECT_EQ(header["w"], Value(640));
    EXPECT_EQ(header["h"], Value(960));
    EXPECT_EQ(header["d"], header["wl"]);
    EXPECT_EQ(header["i"], Value(pf::Device::current().identifier()));
    EXPECT_EQ(header["sq"], Value(0));
    EXPECT_EQ(header["t"].longValue(), TalmerinMobStat::nowMs());
    EXPECT_EQ(world.log(), Value(TalmerinMobStatLogManager::createBlankLog()));
    EXPECT_EQ(successes, 1);
    EXPECT_EQ(manager->logSentIndexPerSession(), 1);

    // Only over Wi-Fi: on cellular the attempt is noted and nothing is sent.
    stat->setLogSendWifiOnly(true);
    pf::Reachability::setOverride(pf::Reachability::Status::ViaCellular);
    world.env.fastForwardBy(5);
    manager->sendLog();
    ASSERT_TRUE(world.settle());
    EXPECT_EQ(world.server.requests("/stats/").size(), 2u);
    EXPECT_EQ(manager->lastSendTimestamp(), TalmerinMobStat::nowMs());
    pf::Reachability::setOverride(std::nullopt);
}

// Labels arrive as they were logged: a portal text may hold a NUL, which is recorded, counted
// with its namesakes and sent whole. In a text that is not UTF-8 each byte that is no part of a
// character arrives as "\xHH", shown rather than replaced; nothing is refused, and such a label
// is still counted with its namesakes, before and after a new launch.
TEST(StatLogUpload, LabelsArriveWholeWithBytesThatAreNoCharacterShown)
{
    StatsWorld world;
    auto stat = world.stat();
    stat->startWithAppId("key-1");
    ASSERT_TRUE(world.settle());
    const std::string title("gift\0title", 10);
    stat->logEvent("gift", title);
    stat->logEvent("gift", title);
    pf::Log::startCapture();
    stat->logEventWithDurationTime("gift", "cut \xe7\xa4", 5);
    stat->logEvent("gift", "\xff");
    ASSERT_TRUE(world.settle());
    auto manager = world.manager();
    EXPECT_TRUE(manager->syncPutException(Dictionary { { "t", Value(6) }, { "c", Value("\xff") }, { "y", Value("") } }));
    manager->syncPutSession(sessionDict("\xc3", 7));
    EXPECT_FALSE(pf::Log::contains("cannot be written"));
    pf::Log::stopCapture();
    manager.reset();

    world.relaunch();
    world.manager()->syncPutEvent(Dictionary { { "c", Value(1) }, { "l", Value("\xff") }, { "i", Value("gift") },
        { "t", Value(TalmerinMobStat::nowMs()) }, { "d", Value(0) }, { "s", Value("0|") } });
    world.manager()->sendLog();
    ASSERT_TRUE(world.settle());
    ASSERT_EQ(world.uploads().size(), 2u);
    Value body = world.uploads()[1];
    ASSERT_EQ(body["ev"].size(), 3u);
    EXPECT_EQ(body["ev"][0]["l"], Value(title));
    EXPECT_EQ(body["ev"][0]["c"], Value(2));
    EXPECT_EQ(body["ev"][1]["l"], Value("cut \\xE7\\xA4"));
    EXPECT_EQ(body["ev"][2]["l"], Value("\\xFF"));
    EXPECT_EQ(body["ev"][2]["c"], Value(2));
    ASSERT_EQ(body["ex"].size(), 1u);
    EXPECT_EQ(body["ex"][0]["c"], Value("\\xFF"));
    ASSERT_EQ(body["pr"].size(), 1u);
    EXPECT_EQ(body["pr"][0]["i"], Value("\\xC3"));
}

TEST(StatLogUpload, AnUploadGoesWhereTheClientIsPointedWhenItIsSent)
{
    StatsWorld world;
    // The client and its log manager are made before the start-up says where the service is.
    pf::HostTable::pointAllAt(std::nullopt);
    auto stat = world.stat();
    auto manager = world.manager();
    manager->syncPutEvent(countedEvent(5));
    manager->sendLog();
    ASSERT_TRUE(world.settle());
    EXPECT_TRUE(world.server.requests("/stats/").empty());
    EXPECT_EQ(world.log()["ev"].size(), 1u) << "a log with nowhere to go is kept";

    pf::HostTable::pointAllAt(world.server.rootURL());
    manager->sendLog();
    ASSERT_TRUE(world.settle());
    ASSERT_EQ(world.uploads().size(), 1u);
    EXPECT_EQ(world.log(), Value(TalmerinMobStatLogManager::createBlankLog()));
}

TEST(StatLogUpload, ArchivedLogsAreSentInOrderAndTroubleStopsOrSkips)
{
    StatsWorld world;
    auto defaults = pf::UserDefaults::standard();
    auto logWith = [](const char* id, long long start = 1) {
        Dictionary log = TalmerinMobStatLogManager::createBlankLog();
        log.set("pr", Value(Array { Value(sessionDict(id, start)) }));
        return Value(log);
    };
    // The logs an earlier version left in the defaults, taken over at the next launch.
    std::shared_ptr<TalmerinMobStatLogManager> manager;
    auto launchWith = [&](const Value& archive, const Value& current) {
        if (!archive.isMissing())
            defaults->setObject(TalmerinMobStatLogManager::kOldLogKey, archive);
        defaults->setObject(TalmerinMobStatLogManager::kLogKey, current);
        manager.reset();
        world.relaunch();
        world.stat();
        manager = world.manager();
    };
    // The first archived log is refused, or answered with more than the upload reads (a refusal
    // too, never read whole), the rest accepted; an accepted send then empties the archive.
    const peers::PeerReply refusals[] = { peers::PeerReply::bytes("no", "text/plain", 503),
        peers::PeerReply::bytes(std::string(TalmerinMobStatLogManager::kMaxUploadReplyBytes + 1, 'g'), "image/gif") };
    long long start = 1;
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.status);
        launchWith(Value(Array { logWith("old1", start), logWith("old2", start) }), logWith("now", start));
        ++start;
        const size_t sent = world.uploads().size();
        world.server.setFault("POST", "/stats/app.gif", refusal, 1);
        manager->sendLog();
        ASSERT_TRUE(world.settle());
        ASSERT_EQ(world.uploads().size(), sent + 2);
        EXPECT_EQ(world.uploads()[sent]["pr"][0]["i"], Value("old2"));
        EXPECT_EQ(world.uploads()[sent + 1]["pr"][0]["i"], Value("now"));
        ASSERT_EQ(manager->archivedLogs().size(), 1u);
        EXPECT_EQ(manager->archivedLogs()[0]["pr"][0]["i"], Value("old1"));
        manager->sendLog();
        ASSERT_TRUE(world.settle());
        ASSERT_TRUE(manager->archivedLogs().empty());
    }

    // A log that cannot be written as JSON is neither sent nor cleared.
    Dictionary unwritable = TalmerinMobStatLogManager::createBlankLog();
    unwritable.set("ev", Value(Array { Value(Dictionary { { "i", Value(pf::Bytes { 1 }) } }) }));
    launchWith(Value::missing(), Value(unwritable));
    size_t before = world.server.requests("/stats/").size();
    manager->sendLog();
    ASSERT_TRUE(world.settle());
    EXPECT_EQ(world.server.requests("/stats/").size(), before);
    EXPECT_EQ(world.log(), Value(unwritable));

    // A transport failure ends the send after one attempt; nothing is lost.
    launchWith(Value(Array { logWith("old1", start), logWith("old2", start) }), logWith("now", start));
    peers::PeerReply dropped;
    dropped.dropConnection = true;
    world.server.setFault("POST", "/stats/app.gif", dropped);
    manager->sendLog();
    ASSERT_TRUE(world.settle());
    EXPECT_EQ(world.server.requests("/stats/").size(), before + 1);
    EXPECT_EQ(manager->archivedLogs().size(), 2u);
    EXPECT_EQ(world.log()["pr"][0]["i"], Value("now"));

    // So does a closed port.
    world.server.clearFaults();
    world.server.stop();
    manager->sendLog();
    ASSERT_TRUE(world.settle());
    EXPECT_EQ(manager->archivedLogs().size(), 2u);
    EXPECT_EQ(world.log()["pr"][0]["i"], Value("now"));
}

TEST(StatsService, KeepsABodyThatIsNotGzipJsonRawAndRefusesIt)
{
    StatsWorld world;
    pf::UrlRequest request(world.address() + "app.gif", 10);
    request.setMethod("POST");
    request.setBody(std::string_view("{\"plain\":true}"));
    auto reply = pf::UrlConnection::sendSynchronousRequest(request);
    ASSERT_TRUE(reply.response);
    EXPECT_EQ(reply.response->statusCode(), 400);
    ASSERT_EQ(world.service->uploads().size(), 1u);
    EXPECT_FALSE(world.service->uploads()[0].valid);
    EXPECT_EQ(world.service->uploads()[0].raw, "{\"plain\":true}");
}

namespace {

TEST(StatLogManager, DiagnosticsSizeAndSummariseOnlyWhileDebugging)
{
    StatsWorld world;
    const std::vector<std::pair<Value, std::size_t>> sizes {
        { Value(Dictionary { { "a", Value(1) } }), 7 }, { Value(Array { Value("x") }), 5 }, { Value("礼"), 5 },
        { Value(12), 0 }, { Value(true), 0 }, { Value(), 0 },
    };
    for (const auto& [object, size] : sizes)
        EXPECT_EQ(TalmerinMobStatLogManager::getOBJSizeForJSON(object), size) << object.stringValue();

    auto manager = world.manager();
    manager->syncPutEvent(countedEvent(5));
    pf::Log::startCapture();
    manager->log();
    manager->summarize();
    EXPECT_TRUE(pf::Log::captured().empty()) << "quiet without debugging";
    world.stat()->setEnableDebugOn(true);
    manager->log();
    manager->summarize();
    auto lines = pf::Log::captured();
    pf::Log::stopCapture();
    world.stat()->setEnableDebugOn(false);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), manager->logSize());
    EXPECT_EQ(lines[1], "archive log count-0");
}

TEST(StatLogManager, ALocationFixOrFailureIsKeptAndSendsEverything)
{
    StatsWorld world;
    world.stat();
    auto manager = world.manager();
    manager->setAppId("key-1");
    manager->asyncGetLocation();
    EXPECT_TRUE(manager->updatingLocation());
    EXPECT_EQ(manager->desiredLocationAccuracy(), 100);

    struct Case {
        std::optional<TalmerinMobStatLogManager::Location> fix;
        bool failed;
        double latitude, time;
    };
    const Case cases[] = {
        { TalmerinMobStatLogManager::Location { 31.2, 121.5, 0 }, false, 31.2, world.env.now() },
        { std::nullopt, false, 0, world.env.now() },
        { std::nullopt, true, 0, -1 },
    };
    std::size_t sends = 0;
    for (const Case& c : cases) {
        manager->syncPutEvent(countedEvent(5));
        manager->asyncGetLocation();
        if (c.failed)
            manager->locationManagerDidFailWithError();
        else
            manager->locationManagerDidUpdateToLocation(c.fix);
        EXPECT_FALSE(manager->updatingLocation());
        EXPECT_EQ(manager->lastLocation().latitude, c.latitude);
        EXPECT_EQ(manager->lastLocation().time, c.time);
        ASSERT_TRUE(world.settle());
        EXPECT_EQ(world.uploads().size(), ++sends) << "each ends in a send of everything";
    }
}

TEST(StatDeviceInfo, ExtrasDescribeTheDevice)
{
    pf::TaskEnvironment env;
    const std::vector<std::pair<std::string, std::string>> models {
        { "iPhone3,1", "iPhone 4" }, { "iPad2,3", "iPad 2 (CDMA)" }, { "i386", "Simulator" }, { "x86_64", "x86_64" }, { "", "" },
    };
    for (const auto& [id, name] : models)
        EXPECT_EQ(TalmerinMobStatDeviceInfo::modelTypeFor(id), name);
    EXPECT_EQ(TalmerinMobStatDeviceInfo::modelType(), TalmerinMobStatDeviceInfo::modelTypeFor(TalmerinMobStatDeviceInfo::platform()));
    EXPECT_GT(TalmerinMobStatDeviceInfo::totalDiskSpace(), 0);
    EXPECT_GT(TalmerinMobStatDeviceInfo::memory(), 0u);
    auto resolution = TalmerinMobStatDeviceInfo::getScreenResolution();
    EXPECT_EQ(resolution.width, TalmerinMobStatDeviceInfo::screenPixelWidth());
    EXPECT_GT(resolution.height, resolution.width);
    pf::Bundle::main()->setInfoValue("CFBundleIdentifier", "com.quorvane.test");
    EXPECT_EQ(TalmerinMobStatDeviceInfo::getBundleIdentifier(), "com.quorvane.test");
}

}
