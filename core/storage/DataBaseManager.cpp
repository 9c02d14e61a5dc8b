#include "core/storage/DataBaseManager.h"

#include "core/storage/RetryingReadVfs.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Sandbox.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <set>
#include <unordered_set>

namespace {

// A database's journals belong to it: they go aside with it, and a new file must not replay them.
const std::vector<std::string> kJournals { "-journal", "-wal", "-shm" };

// The new file is built under this name beside the damaged one, then renamed over it.
const char* const kRebuiltSuffix = ".rebuilt";

// What the reading of a damaged file may do, so that mending it ends within a few seconds
// whatever it holds (a loop in its tree gives the same rows for ever, a damaged length a
// gigabyte): rows stepped over (whole or not) and statements started (reads and probes), each
// table; bytes of values read and real time, the whole mend; and the longest text or blob a row
// of it may hold.
constexpr long long kMaxSalvagedRows = 1'000'000;
constexpr int kMaxSalvageReads = 10'000;
constexpr std::uint64_t kMaxSalvagedBytes = std::uint64_t { 256 } << 20;
constexpr std::chrono::seconds kMaxSalvageTime { 3 };
constexpr int kMaxSalvagedValueBytes = 16 << 20;
// How often (in virtual-machine steps) a statement on the damaged file looks at the clock: a
// single step may walk many pages before it gives a row.
constexpr int kProgressCheckSteps = 1000;

bool isDamage(int code)
{
    code &= 0xFF;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

// A read that the disk refused for good: made again a few times already (see RetryingReadVfs),
// it is what a bad sector gives (EIO), and it is damage. A read that failed otherwise (a
// network file system's time-out, a stale handle) may pass, as the other I/O errors may.
bool isRefusedRead(int extendedCode)
{
    return extendedCode == SQLITE_IOERR_CORRUPTFS;
}

// What may go away by itself (a lock, a full disk, no memory, an I/O error other than a refused
// read): mending waits for a later operation rather than take such a failure for damage and
// leave rows behind.
bool isPassing(int extendedCode)
{
    if (isRefusedRead(extendedCode))
        return false;
    switch (extendedCode & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_NOMEM:
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
    case SQLITE_INTERRUPT:
        return true;
    default:
        return false;
    }
}

// Table names come from the app, never from input, but they are still quoted as identifiers.
std::string quotedIdentifier(const std::string& name)
{
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

// The files checked in this process. Only the main thread uses the store; a test's new launch
// (`ResetRegistry::resetAll`) checks them again.
std::set<std::string>& checkedFiles()
{
    static std::set<std::string>& files = [] () -> std::set<std::string>& {
        auto* made = new std::set<std::string>();
        pf::ResetRegistry::add([made] { made->clear(); });
        return *made;
    }();
    return files;
}

// Whether SQLite's quick check finds the file sound (damage it cannot read past throws).
bool passesQuickCheck(SQLite::Database& database)
{
    SQLite::Statement check(database, "PRAGMA quick_check(1)");
    return check.executeStep() && check.getColumn(0).getString() == "ok";
}

// The address that opens the file as one on read-only media: SQLite then reads its pages and
// nothing else, neither looking for its journal nor rolling one back. A damaged file's journal
// may be what does not read, and the file is read for what it holds without it.
std::string unjournaledAddress(const std::string& path)
{
    std::string address = path.starts_with('/') ? "file://" : "file:";
    for (char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            static const char kHex[] = "0123456789ABCDEF";
            address += '%';
            address += kHex[static_cast<unsigned char>(c) >> 4];
            address += kHex[static_cast<unsigned char>(c) & 0xF];
        } else {
            address += c;
        }
    }
    return address + "?immutable=1";
}

// The mended file has taken the store's name: until its folder is on the disk, a power cut may
// bring the damaged file back under it, and the bookings made since with it.
void flushPlacement(const std::string& path)
{
    std::string error;
    if (!pf::FileManager::flushFolderOf(path, &error))
        pf::Log::format("GameDatabase: the mended file is in place, but %s", error.c_str());
}

void removeRebuilt(const std::string& rebuilt)
{
    pf::FileManager::removeItem(rebuilt);
    for (const auto& suffix : kJournals)
        pf::FileManager::removeItem(rebuilt + suffix);
}

// What the whole mend has spent of its bounds: it ends when they are.
struct SalvageBudget {
    std::chrono::steady_clock::time_point deadline;
    std::uint64_t bytes = 0; // of the values of every row read

    bool spent() const { return bytes >= kMaxSalvagedBytes || std::chrono::steady_clock::now() >= deadline; }
};

// One table of a damaged file read into the new one, row by row in rowid order. A read that
// fails (a page that does not read) is taken up again past the damage: probes start reading
// beyond the last row kept, at growing distances, until one reads; then the probes narrow back
// towards the damage, so that the rows of a sound page just past it are read too. A read that
// gives a row it gave before (the tree leads back to a page already read) is taken up again the
// same way, past the rows kept.
struct SalvageWalk {
    SQLite::Database& damaged;
    std::string select; // every column named, then the rowid, from `WHERE rowid >= ?` on
    int columnCount;
    const std::function<bool(const SQLite::Statement&)>& isWhole;
    SQLite::Statement& insert;
    SalvageBudget& budget;
    std::unordered_set<std::int64_t> seen; // rowids of the rows read
    long long kept = 0;
    long long leftOut = 0;   // rows read that were not whole
    long long repeated = 0;  // rows read again
    long long stepped = 0;   // rows read
    int reads = 0;           // statements started
    int rangesSkipped = 0;   // ranges of rowids that did not read
    bool unreadable = false; // the table cannot be read at all (its schema, or the file's head)
    bool cut = false;        // the walk reached its bounds before the table's end

    bool spent() const { return reads >= kMaxSalvageReads || stepped >= kMaxSalvagedRows || budget.spent(); }
};

enum class Step { Row, End, Unreadable, Spent };

// A read from `from` on, or none when the statement cannot even be made (a damaged schema).
std::optional<SQLite::Statement> startReading(SalvageWalk& walk, std::int64_t from)
{
    ++walk.reads;
    try {
        std::optional<SQLite::Statement> read(std::in_place, walk.damaged, walk.select);
        read->bind(1, static_cast<int64_t>(from));
        return read;
    } catch (const SQLite::Exception& e) {
        if (isPassing(e.getExtendedErrorCode()))
            throw;
        return std::nullopt;
    }
}

Step step(SalvageWalk& walk, SQLite::Statement& read)
{
    int code = read.tryExecuteStep();
    if (code == SQLITE_ROW) {
        // What the row's values hold, without converting any (a number read as text would
        // change the kind it is kept as).
        for (int i = 0; i < walk.columnCount; ++i) {
            const SQLite::Column value = read.getColumn(i);
            const int type = value.getType();
            walk.budget.bytes += (type == SQLITE_TEXT || type == SQLITE_BLOB) ? static_cast<std::uint64_t>(value.getBytes()) : 8;
        }
        return Step::Row;
    }
    if (code == SQLITE_DONE)
        return Step::End;
    // The clock stopped the statement (see the progress handler).
    if ((code & 0xFF) == SQLITE_INTERRUPT && walk.budget.spent())
        return Step::Spent;
    if (isPassing(sqlite3_extended_errcode(walk.damaged.getHandle())))
        throw SQLite::Exception(walk.damaged.getHandle(), code);
    return Step::Unreadable;
}

std::int64_t rowidOf(const SalvageWalk& walk, const SQLite::Statement& read)
{
    return read.getColumn(walk.columnCount).getInt64();
}

// A row is taken when it lies where the read asked (a damaged page can give rowids out of
// order) and reads whole.
bool takes(const SalvageWalk& walk, const SQLite::Statement& read, std::int64_t from)
{
    return rowidOf(walk, read) >= from && walk.isWhole(read);
}

// Whether a read from `from` reads on: its first row is taken, or the table ends there.
bool readsFrom(SalvageWalk& walk, std::int64_t from)
{
    auto read = startReading(walk, from);
    if (!read)
        return false;
    switch (step(walk, *read)) {
    case Step::End:
        return true;
    case Step::Unreadable:
    case Step::Spent:
        return false;
    case Step::Row:
        return takes(walk, *read, from);
    }
    return false;
}

// The first rowid from `base` on at which reading goes on, or none (past the end of rowids, or
// past the walk's bounds).
std::optional<std::int64_t> nextReadable(SalvageWalk& walk, std::int64_t base)
{
    constexpr __int128 kLast = std::numeric_limits<std::int64_t>::max();
    __int128 failed = static_cast<__int128>(base) - 1;
    std::optional<__int128> reads;
    for (__int128 distance = 0;; distance = distance * 2 + 1) {
        if (walk.spent())
            return std::nullopt;
        __int128 probe = std::min<__int128>(base + distance, kLast);
        if (readsFrom(walk, static_cast<std::int64_t>(probe))) {
            reads = probe;
            break;
        }
        failed = probe;
        if (probe == kLast)
            return std::nullopt;
    }
    while (*reads - failed > 1) {
        if (walk.spent())
            break;
        __int128 middle = failed + (*reads - failed) / 2;
        if (readsFrom(walk, static_cast<std::int64_t>(middle)))
            reads = middle;
        else
            failed = middle;
    }
    return static_cast<std::int64_t>(*reads);
}

// Copies the row into the new file; false when the new file holds it already (the same key).
bool keep(SalvageWalk& walk, const SQLite::Statement& read)
{
    walk.insert.reset();
    // Each value as it is stored: its kind and its bytes.
    for (int i = 0; i < walk.columnCount; ++i) {
        const SQLite::Column value = read.getColumn(i);
        switch (value.getType()) {
        case SQLITE_INTEGER:
            walk.insert.bind(i + 1, static_cast<int64_t>(value.getInt64()));
            break;
        case SQLITE_FLOAT:
            walk.insert.bind(i + 1, value.getDouble());
            break;
        case SQLITE_TEXT:
            walk.insert.bind(i + 1, std::string(value.getText(), static_cast<size_t>(value.getBytes())));
            break;
        case SQLITE_BLOB: {
            // An empty blob stays a blob (a null pointer would bind NULL).
            static const char kNothing = 0;
            const void* bytes = value.getBytes() > 0 ? value.getBlob() : &kNothing;
            walk.insert.bind(i + 1, bytes, value.getBytes());
            break;
        }
        default:
            walk.insert.bind(i + 1);
        }
    }
    if (walk.insert.exec() == 0)
        return false;
    ++walk.kept;
    return true;
}

void walkTable(SalvageWalk& walk)
{
    std::int64_t from = std::numeric_limits<std::int64_t>::min();
    for (;;) {
        std::optional<std::int64_t> lastKept;
        auto read = startReading(walk, from);
        if (!read && walk.reads == 1) {
            // Probes would only meet the same failure.
            walk.unreadable = true;
            return;
        }
        bool again = false;
        while (read) {
            if (walk.spent()) {
                walk.cut = true;
                return;
            }
            Step result = step(walk, *read);
            if (result == Step::End)
                return;
            if (result == Step::Spent) {
                walk.cut = true;
                return;
            }
            if (result == Step::Unreadable)
                break;
            ++walk.stepped;
            // A row read before means that the read has come back to a page it passed: it
            // would give the same rows again and again.
            if (!walk.seen.insert(rowidOf(walk, *read)).second) {
                ++walk.repeated;
                again = true;
                break;
            }
            if (!takes(walk, *read, from)) {
                ++walk.leftOut;
                continue;
            }
            if (!keep(walk, *read)) {
                ++walk.repeated;
                again = true;
                break;
            }
            lastKept = std::max(lastKept.value_or(std::numeric_limits<std::int64_t>::min()), rowidOf(walk, *read));
        }
        // The damage lies past the last row kept from `from` (or past `from` itself).
        if (!again)
            ++walk.rangesSkipped;
        std::int64_t last = lastKept.value_or(from);
        if (last == std::numeric_limits<std::int64_t>::max())
            return;
        auto resume = nextReadable(walk, last + 1);
        if (!resume) {
            walk.cut = walk.spent();
            return;
        }
        from = *resume;
    }
}

}

std::shared_ptr<DataBaseManager> DataBaseManager::sharedInstance()
{
    static std::shared_ptr<DataBaseManager> instance(new DataBaseManager());
    return instance;
}

std::string DataBaseManager::databasePath()
{
    return pf::FileManager::join(pf::Sandbox::current()->documentsPath(), kDatabaseFileName);
}

DataBaseManager::Status DataBaseManager::withDatabase(const char* operation, const Work& work)
{
    const std::string path = databasePath();
    // A mend that moved the damaged file aside and was killed before the new file took its
    // place left that file finished (its transaction ended, no journal beside it) under the
    // temporary name: it is the store.
    if (!checkedFiles().count(path) && !pf::FileManager::exists(path)) {
        const std::string rebuilt = path + kRebuiltSuffix;
        if (pf::FileManager::exists(rebuilt) && !pf::FileManager::exists(rebuilt + "-journal")
            && pf::FileManager::replaceItem(rebuilt, path)) {
            pf::Log::line("GameDatabase: the file mended before the last launch ended is put in place");
            flushPlacement(path);
        }
    }
    for (bool mended = false;;) {
        try {
            SQLite::Database database(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, kBusyTimeoutMilliseconds,
                RetryingReadVfs::name());
            bool sound = true;
            if (!checkedFiles().count(path)) {
                const auto before = RetryingReadVfs::failures();
                sound = passesQuickCheck(database);
                // The check tells of a page it could not read as it tells of damage, in words:
                // a read that failed for a reason that may pass is no damage.
                if (!sound && RetryingReadVfs::failures().other != before.other) {
                    pf::Log::format("GameDatabase: %s failed: the check could not read the file for now", operation);
                    return Status::Failed;
                }
                if (sound)
                    checkedFiles().insert(path);
                else
                    pf::Log::format("GameDatabase: %s: the check of the file found damage", operation);
            }
            if (sound) {
                prepare(database);
                return work(database);
            }
        } catch (const SQLite::Exception& e) {
            pf::Log::format("GameDatabase: %s failed: %s (code %d)", operation, e.what(), e.getExtendedErrorCode());
            if (isRefusedRead(e.getExtendedErrorCode()))
                pf::Log::format("GameDatabase: %s: the disk refused a read at every try; the file is taken for damaged", operation);
            else if (!isDamage(e.getErrorCode()))
                return Status::Failed;
        } catch (const std::exception& e) {
            pf::Log::format("GameDatabase: %s failed: %s", operation, e.what());
            return Status::Failed;
        }
        // Every connection to the damaged file is closed here.
        if (mended || !mendDamagedFile(path))
            return Status::Failed;
        mended = true;
        checkedFiles().insert(path);
    }
}

bool DataBaseManager::mendDamagedFile(const std::string& path)
{
    const auto tables = salvagedTables();
    if (tables.empty()) {
        pf::Log::line("GameDatabase: the file is damaged; it is left as it is for the store that knows its tables");
        return false;
    }
    const std::string rebuilt = path + kRebuiltSuffix;
    // What a launch killed while building it left behind is unfinished: it starts again.
    removeRebuilt(rebuilt);
    std::string kept;
    std::string notes;
    SalvageBudget budget { std::chrono::steady_clock::now() + kMaxSalvageTime };
    try {
        SQLite::Database fresh(rebuilt, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, kBusyTimeoutMilliseconds,
            RetryingReadVfs::name());
        prepare(fresh);
        SQLite::Transaction transaction(fresh);
        // None when not even the file's header reads: nothing of it can be kept.
        std::optional<SQLite::Database> damaged;
        try {
            damaged.emplace(unjournaledAddress(path), SQLite::OPEN_READONLY | SQLite::OPEN_URI, kBusyTimeoutMilliseconds,
                RetryingReadVfs::name());
            sqlite3_limit(damaged->getHandle(), SQLITE_LIMIT_LENGTH, kMaxSalvagedValueBytes);
            // A schema that names pages past the file's end (a file cut short) is read all the
            // same, so that the pages still there can be: the connection only reads.
            damaged->exec("PRAGMA writable_schema = ON");
        } catch (const SQLite::Exception& e) {
            if (isPassing(e.getExtendedErrorCode()))
                throw;
            damaged.reset();
        }
        if (damaged) {
            sqlite3_progress_handler(damaged->getHandle(), kProgressCheckSteps,
                [](void* budget) { return static_cast<SalvageBudget*>(budget)->spent() ? 1 : 0; }, &budget);
        }
        for (const auto& table : tables) {
            if (!damaged) {
                kept += (kept.empty() ? "0 " : ", 0 ") + table.rowsName;
                notes += "; " + table.name + " could not be read at all";
                continue;
            }
            std::string columns;
            std::string places;
            for (const auto& column : table.columns) {
                columns += (columns.empty() ? "" : ", ") + quotedIdentifier(column);
                places += places.empty() ? "?" : ", ?";
            }
            SQLite::Statement insert(fresh,
                "INSERT OR IGNORE INTO " + quotedIdentifier(table.name) + " (" + columns + ") VALUES (" + places + ")");
            SalvageWalk walk { *damaged,
                "SELECT " + columns + ", rowid FROM " + quotedIdentifier(table.name) + " WHERE rowid >= ? ORDER BY rowid",
                static_cast<int>(table.columns.size()), table.isWhole, insert, budget, {} };
            walkTable(walk);
            kept += (kept.empty() ? "" : ", ") + std::to_string(walk.kept) + " " + table.rowsName;
            if (walk.leftOut > 0)
                notes += "; rows of " + table.name + " left out as not whole: " + std::to_string(walk.leftOut);
            if (walk.repeated > 0)
                notes += "; rows of " + table.name + " read twice where the file's tree leads back: " + std::to_string(walk.repeated);
            if (walk.rangesSkipped > 0)
                notes += "; ranges of " + table.name + " stepped over as unreadable: " + std::to_string(walk.rangesSkipped);
            if (walk.unreadable)
                notes += "; " + table.name + " could not be read at all";
            if (walk.cut)
                notes += "; the reading of " + table.name + " stopped at its bounds";
        }
        transaction.commit();
    } catch (const std::exception& e) {
        pf::Log::format("GameDatabase: the damaged file cannot be mended now: %s", e.what());
        removeRebuilt(rebuilt);
        return false;
    }
    // The damaged file goes aside without a byte of it being read (a page the disk cannot give
    // back must not stop the mend): under a second name, so that the new file then takes its
    // place in one step; or, where the file system has no second names, moved there, the new
    // file following at once.
    std::string error;
    bool linked = true;
    auto aside = pf::FileManager::setAsideLinkWith(path, kJournals, &error);
    if (!aside) {
        linked = false;
        std::string moveError;
        aside = pf::FileManager::setAsideWith(path, kJournals, &moveError);
        if (!aside) {
            pf::Log::format("GameDatabase: cannot set the damaged file aside: %s; %s", error.c_str(), moveError.c_str());
            removeRebuilt(rebuilt);
            return false;
        }
    }
    if (!pf::FileManager::replaceItem(rebuilt, path, &error)) {
        pf::Log::format("GameDatabase: cannot put the mended file in place: %s", error.c_str());
        // Back as it was: one damaged file leaves one file aside, however often it is tried.
        if (linked)
            pf::FileManager::removeItem(*aside);
        else
            pf::FileManager::moveItem(*aside, path);
        for (const auto& suffix : kJournals) {
            if (pf::FileManager::exists(*aside + suffix))
                pf::FileManager::moveItem(*aside + suffix, path + suffix);
        }
        removeRebuilt(rebuilt);
        return false;
    }
    flushPlacement(path);
    pf::Log::format("GameDatabase: the damaged file was set aside at %s; a new file holds the %s that still read whole%s",
        aside->c_str(), kept.c_str(), notes.c_str());
    return true;
}

bool DataBaseManager::isTableExisted(const std::string& tableName)
{
    bool exists = false;
    withDatabase("table check", [&](SQLite::Database& db) {
        SQLite::Statement query(db, "select count(*) as 'count' from sqlite_master where type ='table' and name = ?");
        query.bind(1, tableName);
        exists = query.executeStep() && query.getColumn("count").getInt() != 0;
        return Status::Ok;
    });
    return exists;
}

DataBaseManager::Status DataBaseManager::dropTable(const std::string& tableName)
{
    return withDatabase("drop table", [&](SQLite::Database& db) {
        db.exec("DROP TABLE " + quotedIdentifier(tableName));
        return Status::Ok;
    });
}
