// The statistics log as the next start finds it in the user defaults: the current log, the
// archive of split logs, the in-progress session id. The first byte picks whether the rest is
// the whole defaults file (a property list, read as the app reads it at launch) or JSON put
// under the log keys (the log up to the first line break, then the archive). The log manager
// then reads it, puts an event, a session and an exception into it and writes each log as the
// upload would (JSON, gzip); the gzip must inflate to the same JSON, and what is stored after
// the puts must still read as a log.
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/UserDefaults.h"
#include "sdk/stats/StatLogCodec.h"
#include "sdk/stats/TalmerinMobStatLogManager.h"

#include <cstdlib>

using pf::Dictionary;
using pf::Value;

namespace {

void writeOut(const Value& log)
{
    auto json = StatLogCodec::json(log);
    if (!json)
        return;
    auto packed = StatLogCodec::gzipDeflate(pf::Bytes(json->begin(), json->end()));
    if (!packed)
        std::abort();
    auto unpacked = StatLogCodec::gzipInflate(*packed);
    if (!unpacked || std::string(unpacked->begin(), unpacked->end()) != *json)
        std::abort();
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    fuzz::FuzzInput input(data, size);
    bool wholeFile = input.takeByte() & 1;
    std::string path = pf::UserDefaults::standard()->path();
    pf::UserDefaults::resetStandard();
    pf::FileManager::removeItem(path);
    if (wholeFile) {
        pf::FileManager::createDirectory(path.substr(0, path.rfind('/')), true);
        pf::FileManager::writeAtomically(path, input.restAsBytes());
    } else {
        auto defaults = pf::UserDefaults::standard();
        if (auto log = pf::Json::parse(input.takeUntil('\n')))
            defaults->setObject(TalmerinMobStatLogManager::kLogKey, *log);
        if (auto archive = pf::Json::parse(input.rest()))
            defaults->setObject(TalmerinMobStatLogManager::kOldLogKey, *archive);
        defaults->setString(TalmerinMobStatLogManager::kInprogressSessionKey, "s1");
    }
    // One manager for the process (each would start a queue thread of its own); it reads the
    // defaults afresh at every call.
    static auto manager = TalmerinMobStatLogManager::sharedManager();
    manager->getInprogressSession();
    manager->logSize();
    writeOut(Value(manager->currentLog()));
    for (const Value& log : manager->archivedLogs())
        writeOut(log);
    manager->syncPutEvent(Dictionary { { "c", Value(1) }, { "l", Value("label") }, { "i", Value("tap") },
        { "t", Value(1700000000000LL) }, { "d", Value(0) }, { "s", Value("0|") } });
    manager->syncPutSession(Dictionary { { "s", Value(1) }, { "e", Value(2) }, { "i", Value("s1") }, { "p", Value(pf::Array {}) }, { "c", Value(0) } });
    manager->syncPutException(Dictionary { { "t", Value(3) }, { "c", Value("text") }, { "y", Value("") } });
    Value stored = pf::UserDefaults::standard()->objectForKey(TalmerinMobStatLogManager::kLogKey);
    for (const char* list : { "ev", "ex", "pr" }) {
        if (!stored[list].isArray())
            std::abort();
    }
    writeOut(stored);
    return 0;
}
