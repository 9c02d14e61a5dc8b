// Usage statistics: logging one event into a log that already holds 10 or 10,000 of them (the
// cost must not grow with the log), and sending a log of about 200 KB beside zlib compressing
// the same JSON and libcurl posting it to the same server.

#include "sdk/stats/StatLogCodec.h"
#include "sdk/stats/TalmerinMobStat.h"
#include "sdk/stats/TalmerinMobStatLogManager.h"
#include "sdk/stats/TalmerinMobStatLogStore.h"

#include "platform/foundation/ResetRegistry.h"
#include "platform/testing/TaskEnvironment.h"
#include "tools/peers/PeersServer.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <zlib.h>

#include <string>

namespace {

pf::Value event(long long n)
{
    return pf::Value(pf::Dictionary { { "c", pf::Value(1) }, { "l", pf::Value("label " + std::to_string(n % 7)) },
        { "i", pf::Value("event " + std::to_string(n)) }, { "t", pf::Value(1'700'000'000'000LL + n * 1000) },
        { "d", pf::Value(0) }, { "s", pf::Value("0|") } });
}

// A log of `count` events that never merge (each has its own name).
pf::Dictionary logOf(long long count)
{
    pf::Array events;
    for (long long n = 0; n < count; ++n)
        events.push_back(event(n));
    pf::Dictionary log = TalmerinMobStatLogManager::createBlankLog();
    log.set("ev", pf::Value(std::move(events)));
    return log;
}

struct StatsWorld {
    pf::TaskEnvironment env;
    peers::PeersServer server;
    std::shared_ptr<TalmerinMobStatLogManager> manager;

    // The statistics service's address, answering every upload at once (the service itself
    // would also unpack and parse each one).
    StatsWorld()
    {
        server.setFault("POST", "/stats/app.gif", peers::PeerReply::bytes("GIF89a", "image/gif"));
        server.start();
        launch();
    }
    ~StatsWorld()
    {
        quit();
    }
    // As the app's launch does when its session starts, the sent index is reset before
    // anything is logged (so the launch's first write, with its one-off cost, is not counted
    // as an event's).
    void launch()
    {
        manager = TalmerinMobStatLogManager::sharedManager();
        manager->setAppId("benchmark");
        manager->setServiceAddress(server.url("stats/"));
        manager->resetLogSentIndexPerSession();
    }
    void quit()
    {
        env.waitForPendingWork();
        manager.reset();
        pf::ResetRegistry::resetAll();
        env.runUntilIdle();
    }
    // The next launch finds exactly `log` stored: between launches the store is opened on its
    // own, its current log replaced through its public operations.
    void relaunchWith(const pf::Dictionary& log)
    {
        quit();
        {
            TalmerinMobStatLogStore store(TalmerinMobStatLogStore::defaultPath());
            store.clearCurrentLog();
            store.importLogs({ "benchmark " + std::to_string(++m_seeds) }, pf::Value(log), {});
        }
        launch();
    }

private:
    int m_seeds { 0 };
};

// Each run logs this many events into the seeded log: the small log stays small beside the
// large one. (Seeding again in between would mean a new launch every time, whose files and
// threads cost more than the events measured.)
constexpr long long kEventsPerRun = 2000;

void StatsLogEvent(benchmark::State& state)
{
    StatsWorld world;
    const long long logged = state.range(0);
    pf::Dictionary log = logOf(logged);
    long long next = logged;
    world.relaunchWith(log);
    for (auto _ : state) {
        world.manager->putEvent(*event(next++).asDictionary());
        if (!world.env.waitForPendingWork(30)) {
            state.SkipWithError("the event was not stored");
            break;
        }
    }
    if (world.manager->currentLog().find("ev")->asArray()->size() != std::size_t(next))
        state.SkipWithError("the log does not hold the new events");
}

// Events up to just under the size at which the log would be split.
pf::Dictionary logOfAbout200KB()
{
    long long count = 0;
    while (StatLogCodec::jsonLength(pf::Value(logOf(count + 100))) < TalmerinMobStatLogManager::kSplitBytes - 4096)
        count += 100;
    return logOf(count);
}

// The client that sends is the one that logged: its queue, its store and its connection are
// running, as in an app that has been in use (a launch's own costs are the cold start's
// figure), and it has sent once before the timing starts, so that a run of a few sends does not
// carry the one-off costs of the first. Logging the events again between sends is not timed,
// and neither is the check of what the server received.
void StatsSendLog(benchmark::State& state)
{
    StatsWorld world;
    pf::Dictionary log = logOfAbout200KB();
    const pf::Array& events = *log.find("ev")->asArray();
    auto logAgain = [&] {
        for (const pf::Value& e : events)
            world.manager->putEvent(*e.asDictionary());
        if (!world.env.waitForPendingWork(60) || world.manager->currentLog().find("ev")->asArray()->size() != events.size())
            return false;
        world.server.clearRequests();
        return true;
    };
    if (!logAgain()) {
        state.SkipWithError("the events were not logged");
        return;
    }
    world.manager->sendLog();
    if (!world.env.waitForPendingWork(30) || world.server.requests().size() != 1) {
        state.SkipWithError("the first log was not sent");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        if (!logAgain()) {
            state.SkipWithError("the events were not logged");
            break;
        }
        state.ResumeTiming();

        world.manager->sendLog();
        bool settled = world.env.waitForPendingWork(30);

        state.PauseTiming();
        bool sent = settled && world.server.requests().size() == 1;
        state.ResumeTiming();
        if (!sent) {
            state.SkipWithError("the log was not sent");
            break;
        }
    }
    if (!world.manager->currentLog().find("ev")->asArray()->empty())
        state.SkipWithError("an accepted log was not cleared");
}

bool gzip(const std::string& text, std::string& out)
{
    z_stream stream {};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out.resize(deflateBound(&stream, text.size()));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    bool ok = deflate(&stream, Z_FINISH) == Z_STREAM_END;
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return ok;
}

size_t discard(char*, size_t size, size_t count, void*) { return size * count; }

void StatsSendLogFloor(benchmark::State& state)
{
    StatsWorld world;
    std::string json = StatLogCodec::json(pf::Value(logOfAbout200KB())).value_or("");
    std::string address = world.server.url("stats/app.gif");
    std::string body;
    for (auto _ : state) {
        if (!gzip(json, body)) {
            state.SkipWithError("zlib could not compress the log");
            break;
        }
        // A fresh handle per upload, as each send of the app is a request of its own.
        CURL* curl = curl_easy_init();
        curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
        long status = 0;
        if (curl_easy_perform(curl) == CURLE_OK)
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_cleanup(curl);
        world.server.clearRequests();
        if (status != 200) {
            state.SkipWithError(("the upload was not accepted: " + std::to_string(status)).c_str());
            break;
        }
    }
}

}

BENCHMARK(StatsLogEvent)->Arg(10)->Arg(10000)->Iterations(kEventsPerRun)->Unit(benchmark::kMillisecond);
// Counted by the wall clock: the send's work is on other threads. Logging the events again for
// each send takes far longer than the send, so a run holds few sends: the runner takes the best
// of several runs in each round rather than one long run (see RoundSamples).
BENCHMARK(StatsSendLog)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(StatsSendLogFloor)->MinTime(0.1)->UseRealTime()->Unit(benchmark::kMillisecond);
