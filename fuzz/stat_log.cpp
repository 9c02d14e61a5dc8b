// The statistics log as the next launch finds it on disk: in its own store (a SQLite file whose
// rows each hold one entry's JSON) or, from an earlier version, in the user defaults (the
// current log, the archive of split logs, the in-progress session id). The first byte picks
// what the rest is:
//   bit 1 clear: the defaults, taken over into the store at launch; bit 0 set: the whole
//     defaults file (a property list, read as the app reads it at launch), clear: JSON put
//     under the log keys (the log up to the first line break, then the archive);
//   bit 1 set, bit 0 clear: the whole store file;
//   bit 1 set, bit 0 set: rows written into a fresh store, one a line: a tag, then the row's
//     text; 'e', 'x', 'p' put it in the current log's "ev", "ex", "pr", a digit in that
//     archived log's "ev", any other tag in a list of that name.
// A new log manager then reads it, puts an event, a session and an exception into it and
// writes each log as the upload would (JSON, gzip); the gzip must inflate to the same JSON,
// the size the manager keeps must be the JSON's, and a second look at the store must read
// the same log as the manager holds. Of rows written in, those the manager did not read must
// still be there, byte for byte, after a clear of the current log, and nothing else.
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/UserDefaults.h"
#include "sdk/stats/StatLogCodec.h"
#include "sdk/stats/TalmerinMobStatLogManager.h"
#include "sdk/stats/TalmerinMobStatLogStore.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include <cstdlib>
#include <map>

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

void removeStore(const std::string& path)
{
    for (const char* suffix : { "", "-wal", "-shm", "-journal", ".corrupt", ".corrupt-wal", ".corrupt-shm", ".corrupt-journal" })
        pf::FileManager::removeItem(path + suffix);
}

// The current log's rows: type and bytes by list and position.
using Rows = std::map<std::pair<std::string, long long>, std::string>;
Rows currentRows(const std::string& path)
{
    SQLite::Database db(path, SQLite::OPEN_READONLY);
    SQLite::Statement query(db, "SELECT list, position, typeof(entry), entry FROM current");
    Rows rows;
    while (query.executeStep()) {
        SQLite::Column entry = query.getColumn(3);
        const char* data = static_cast<const char*>(entry.getBlob());
        rows[{ query.getColumn(0).getString(), query.getColumn(1).getInt64() }]
            = query.getColumn(2).getString() + ':' + std::string(data ? data : "", static_cast<std::size_t>(entry.getBytes()));
    }
    return rows;
}

void writeRows(const std::string& path, fuzz::FuzzInput& input)
{
    // A store as this version makes it, then the rows as they come.
    { TalmerinMobStatLogStore made(path); }
    SQLite::Database db(path, SQLite::OPEN_READWRITE);
    SQLite::Statement current(db, "INSERT OR REPLACE INTO current(list, position, entry) VALUES(?, ?, ?)");
    SQLite::Statement archived(db, "INSERT OR REPLACE INTO archive(log, list, position, entry) VALUES(?, 'ev', ?, ?)");
    SQLite::Statement log(db, "INSERT OR IGNORE INTO logs(id) VALUES(?)");
    for (int position = 0; !input.empty() && position < 256; ++position) {
        std::string_view line = input.takeUntil('\n');
        if (line.empty())
            continue;
        char tag = line.front();
        std::string text(line.substr(1));
        if (tag >= '0' && tag <= '9') {
            log.reset();
            log.bind(1, tag - '0' + 1);
            log.exec();
            archived.reset();
            archived.bind(1, tag - '0' + 1);
            archived.bind(2, position);
            archived.bind(3, text);
            archived.exec();
            continue;
        }
        const char* list = tag == 'e' ? "ev" : tag == 'x' ? "ex" : tag == 'p' ? "pr" : nullptr;
        current.reset();
        current.bind(1, list ? std::string(list) : std::string(1, tag));
        current.bind(2, position);
        current.bind(3, text);
        current.exec();
    }
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    fuzz::FuzzInput input(data, size);
    std::uint8_t mode = input.takeByte();
    std::string defaultsPath = pf::UserDefaults::standard()->path();
    std::string storePath = TalmerinMobStatLogStore::defaultPath();
    pf::UserDefaults::resetStandard();
    pf::FileManager::removeItem(defaultsPath);
    removeStore(storePath);
    pf::FileManager::createDirectory(storePath.substr(0, storePath.rfind('/')), true);

    if ((mode & 3) == 1) {
        pf::FileManager::createDirectory(defaultsPath.substr(0, defaultsPath.rfind('/')), true);
        pf::FileManager::writeAtomically(defaultsPath, input.restAsBytes());
    } else if ((mode & 3) == 0) {
        auto defaults = pf::UserDefaults::standard();
        if (auto log = pf::Json::parse(input.takeUntil('\n')))
            defaults->setObject(TalmerinMobStatLogManager::kLogKey, *log);
        if (auto archive = pf::Json::parse(input.rest()))
            defaults->setObject(TalmerinMobStatLogManager::kOldLogKey, *archive);
        defaults->setString(TalmerinMobStatLogManager::kInprogressSessionKey, "s1");
    } else if ((mode & 3) == 2) {
        pf::FileManager::writeAtomically(storePath, input.restAsBytes());
    }
    std::optional<Rows> written;
    if ((mode & 3) == 3) {
        try {
            writeRows(storePath, input);
            written = currentRows(storePath);
        } catch (const std::exception&) {
            return 0; // rows SQLite itself refuses are not the store's input
        }
        pf::UserDefaults::standard()->setString(TalmerinMobStatLogManager::kInprogressSessionKey, "s1");
    }

    // A new launch: the manager opens the store (taking over what the defaults hold).
    auto manager = std::make_shared<TalmerinMobStatLogManager>();
    manager->getInprogressSession();
    std::size_t read = 0;
    for (const char* list : { "ev", "ex", "pr" })
        read += Value(manager->currentLog())[list].size();
    auto sizeChecked = [&] {
        Value log(manager->currentLog());
        if (auto json = StatLogCodec::json(log); json && json->size() != manager->logSize())
            std::abort();
        writeOut(log);
    };
    sizeChecked();
    for (const Value& log : manager->archivedLogs())
        writeOut(log);
    manager->syncPutEvent(Dictionary { { "c", Value(1) }, { "l", Value("label") }, { "i", Value("tap") },
        { "t", Value(1700000000000LL) }, { "d", Value(0) }, { "s", Value("0|") } });
    manager->syncPutSession(Dictionary { { "s", Value(1) }, { "e", Value(2) }, { "i", Value("s1") }, { "p", Value(pf::Array {}) }, { "c", Value(0) } });
    manager->syncPutException(Dictionary { { "t", Value(3) }, { "c", Value("text") }, { "y", Value("") } });
    sizeChecked();
    Value held(manager->currentLog());
    for (const char* list : { "ev", "ex", "pr" }) {
        if (!held[list].isArray())
            std::abort();
    }
    // What the store wrote reads back as the log the manager holds.
    TalmerinMobStatLogStore again(storePath);
    if (again.persistent() && StatLogCodec::json(Value(again.currentLog())) != StatLogCodec::json(held))
        std::abort();
    if (written && again.persistent()) {
        again.clearCurrentLog();
        Rows left = currentRows(storePath);
        if (left.size() + read != written->size())
            std::abort();
        for (const auto& [key, row] : left) {
            auto found = written->find(key);
            if (found == written->end() || found->second != row)
                std::abort();
        }
    }
    return 0;
}
