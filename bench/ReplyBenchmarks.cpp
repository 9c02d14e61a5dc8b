// "ka/list" replies turned into gift-list records, beside a bare nlohmann-json parse of the
// same bytes.

#include "core/PortalReplyEnvelope.h"
#include "core/records/GiftListItemInfo.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <map>
#include <string>

namespace {

// A reply shaped as the portal writes it: the envelope and `count` gifts with the ten keys of
// a list item, Chinese titles and icon addresses.
const pf::Bytes& listReply(int count)
{
    static std::map<int, pf::Bytes> made;
    auto& bytes = made[count];
    if (bytes.empty()) {
        nlohmann::json body = nlohmann::json::array();
        for (int i = 0; i < count; ++i) {
            body.push_back({ { "fid", 1000 + i }, { "title", "剑侠情缘手游新手礼包 第" + std::to_string(i) + "期" },
                { "status", i % 4 }, { "litpic", "http://127.0.0.1:8080/img/icon/" + std::to_string(i) + ".png" },
                { "total", 5000 + i }, { "send", 1200 + i }, { "startime", 1700000000LL + i * 60 },
                { "endtime", 1800000000LL + i * 60 }, { "extcredits1", i % 50 }, { "extcredits2", i % 7 } });
        }
        nlohmann::json reply { { "ret", 0 }, { "msg", "" }, { "body", body } };
        std::string text = reply.dump();
        bytes.assign(text.begin(), text.end());
    }
    return bytes;
}

void ReplyToRecords(benchmark::State& state)
{
    const pf::Bytes& bytes = listReply(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto envelope = PortalReplyEnvelope::parse(bytes);
        if (!envelope.isSuccess())
            state.SkipWithError("the reply reads as a failure");
        auto records = GiftListItemInfo::listFromDictionary(envelope.reply());
        benchmark::DoNotOptimize(records);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

void ReplyParseFloor(benchmark::State& state)
{
    const pf::Bytes& bytes = listReply(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto value = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

}

// Short runs: the runner takes the best of many in each round (see RoundSamples).
BENCHMARK(ReplyToRecords)->Arg(20)->Arg(200)->Arg(2000)->MinTime(0.05);
BENCHMARK(ReplyParseFloor)->Arg(20)->Arg(200)->Arg(2000)->MinTime(0.05);
