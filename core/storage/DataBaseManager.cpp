#include "core/storage/DataBaseManager.h"

#include "core/storage/CutMend.h"
#include "core/storage/FilePageSource.h"
#include "core/storage/MendNames.h"
#include "core/storage/PageReader.h"
#include "platform/foundation/RetryingReadVfs.h"
#include "core/storage/SalvageWalk.h"
#include "platform/foundation/StoreErrors.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/TerminationSignal.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <set>
#include <stdexcept>
#include <thread>

namespace {

// Before a read the disk refused is taken for damage (and the file mended), the operation is
// made again after each of these waits, in seconds: a disk reset or a cable's hiccup passes
// within them.
constexpr double kRefusalWaits[] = { 0.1, 0.2, 0.4, 0.8 };

// What the reading of a damaged file may do, so that mending it ends whatever it holds: rows
// offered and bytes of their values, the whole mend; the longest text or blob a row may hold;
// what the reading holds between pages (where the copies of rows lie, not their values: 16 bytes
// a copy, so a million rows found off the tree take 16 MB); and time: a few seconds, and more for a larger database (its header's page count times its
// page size, no more than the file's data), so that a large store on a disk of the phone's
// speed is read whole, however much of it is damaged. The size counts up to twice the bytes a
// mend may keep: a larger one cannot be kept whole anyway, and a hostile header or a sparse tail
// must not hold the launch for hours.
constexpr long long kMaxSalvagedRows = 1'000'000;
constexpr std::uint64_t kMaxSalvagedBytes = std::uint64_t { 256 } << 20;
constexpr double kMaxSalvageSeconds = 3;
constexpr double kSalvageSecondsPerMebibyte = 0.5;
constexpr std::uint64_t kMaxTimedBytes = 2 * kMaxSalvagedBytes;
constexpr size_t kMaxSalvagedValueBytes = 16 << 20;
constexpr std::uint64_t kMaxHeldBytes = std::uint64_t { 32 } << 20;

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

// Waits `seconds` of real time, blocking the main thread: a disk gives a refused sector back in
// real time, whatever clock the app's timers run on (the simulator's manual clock included), so
// the wait is neither skipped nor moved onto that clock.
void waitForTheDisk(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// What the whole mend has spent of its bounds: it ends when they are. Its time runs on the
// process clock: real time in the app; on manual time (tests, the simulator's manual mode) it
// does not pass while the mend reads, and the other bounds govern, with a backstop of real time
// ten times as long, so that no clock leaves the main thread reading a hostile file for ever.
struct SalvageBudget {
    double began = pf::Clock::shared().monotonicNow();
    std::chrono::steady_clock::time_point realBegan = std::chrono::steady_clock::now();
    double deadline = std::numeric_limits<double>::infinity(); // on the clock's monotonic time
    std::chrono::steady_clock::time_point realDeadline = std::chrono::steady_clock::time_point::max();
    std::uint64_t bytes = 0; // of the values of every row offered
    long long rows = 0;

    // The time for a database of `databaseBytes`, from the mend's start.
    void setTime(std::uint64_t databaseBytes)
    {
        const double seconds = kMaxSalvageSeconds
            + kSalvageSecondsPerMebibyte * static_cast<double>(std::min(databaseBytes, kMaxTimedBytes)) / (1 << 20);
        deadline = began + seconds;
        realDeadline = realBegan
            + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds * 10));
    }
    bool spent() const { return spentApartFromTime() || pf::Clock::shared().monotonicNow() >= deadline; }
    // Spent, time apart: pages read once are read again past the time, each once (the backstop
    // of real time still holds).
    bool spentApartFromTime() const
    {
        return bytes >= kMaxSalvagedBytes || rows >= kMaxSalvagedRows || std::chrono::steady_clock::now() >= realDeadline;
    }
};

// Binds a row's values, each as it is stored: its kind and its bytes (a text in the damaged
// file's encoding, which SQLite converts to the new file's). The bytes are not copied: the values
// outlive the statement's step, and every value is bound again before the next.
void bindRow(sqlite3_stmt* statement, const std::vector<SalvagedValue>& values, int encoding)
{
    const unsigned char textEncoding = encoding == 2 ? SQLITE_UTF16LE : encoding == 3 ? SQLITE_UTF16BE : SQLITE_UTF8;
    for (size_t i = 0; i < values.size(); ++i) {
        const int index = static_cast<int>(i) + 1;
        const SalvagedValue& value = values[i];
        switch (value.kind) {
        case SalvagedValue::Kind::Integer:
            sqlite3_bind_int64(statement, index, value.integer);
            break;
        case SalvagedValue::Kind::Real:
            sqlite3_bind_double(statement, index, value.real);
            break;
        case SalvagedValue::Kind::Text:
            sqlite3_bind_text64(statement, index, value.bytes.data(), value.bytes.size(), SQLITE_STATIC, textEncoding);
            break;
        case SalvagedValue::Kind::Blob:
            // An empty blob stays a blob (a null pointer would bind NULL).
            sqlite3_bind_blob64(statement, index, value.bytes.empty() ? "" : value.bytes.data(), value.bytes.size(), SQLITE_STATIC);
            break;
        case SalvagedValue::Kind::Null:
            sqlite3_bind_null(statement, index);
            break;
        }
    }
}

// Ends a mend that must not finish: the program was asked to end.
struct MendEnded : std::exception {
    const char* what() const noexcept override { return "the program is ending"; }
};

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
    bool mended = false;
    if (!checkedFiles().count(path)) {
        switch (CutMend::finish(path)) {
        case CutMend::Outcome::None:
        case CutMend::Outcome::Finished:
            break;
        case CutMend::Outcome::Blocked:
            return Status::Failed;
        case CutMend::Outcome::MendAgain:
            pf::Log::format("GameDatabase: %s: a mend was cut short before the mended file took the store's place; it is made again",
                operation);
            if (!mendDamagedFile(path))
                return Status::Failed;
            mended = true;
            checkedFiles().insert(path);
            break;
        }
    }
    for (size_t waits = 0;;) {
        const auto before = pf::RetryingReadVfs::failures();
        try {
            SQLite::Database database(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, kBusyTimeoutMilliseconds,
                pf::RetryingReadVfs::name());
            bool sound = true;
            if (!checkedFiles().count(path)) {
                sound = passesQuickCheck(database);
                // The check tells of a page it could not read as it tells of damage, in words:
                // a read that failed for a reason that may pass is no damage.
                if (!sound && pf::RetryingReadVfs::failures().other != before.other) {
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
            if (!pf::StoreErrors::isRefusedRead(e.getExtendedErrorCode()) && !pf::StoreErrors::isDamage(e.getErrorCode()))
                return Status::Failed;
        } catch (const std::exception& e) {
            pf::Log::format("GameDatabase: %s failed: %s", operation, e.what());
            return Status::Failed;
        }
        // A read the disk refused may be given back in a moment (a disk reset, a cable's
        // hiccup): the operation is made again after each wait before the file is taken for
        // damaged. Only on the way to a mend, and once for it: the mend's own reads do not wait.
        const bool refused = pf::RetryingReadVfs::failures().refused != before.refused;
        if (refused && !mended && waits < std::size(kRefusalWaits)) {
            pf::Log::format("GameDatabase: %s: the disk refused a read; it is tried again in %.1f s", operation, kRefusalWaits[waits]);
            waitForTheDisk(kRefusalWaits[waits++]);
            continue;
        }
        if (refused)
            pf::Log::format("GameDatabase: %s: the disk refused a read at every try; the file is taken for damaged", operation);
        // Every connection to the damaged file is closed here.
        if (mended || !mendDamagedFile(path))
            return Status::Failed;
        mended = true;
        checkedFiles().insert(path);
        waits = 0;
    }
}

bool DataBaseManager::mendDamagedFile(const std::string& path)
{
    const auto tables = salvagedTables();
    if (tables.empty()) {
        pf::Log::line("GameDatabase: the file is damaged; it is left as it is for the store that knows its tables");
        return false;
    }
    if (pf::TerminationSignal::received() != 0) {
        pf::Log::line("GameDatabase: the damaged file is not mended now: the program is ending");
        return false;
    }
    // What a launch killed while building it left behind is unfinished: it starts again.
    MendNames::removeLeftovers(path);
    const auto working = MendNames::freeWorkingPath(path);
    if (!working) {
        pf::Log::format("GameDatabase: the damaged file cannot be mended now: something not of the mend's lies at each of its working names, %s and on",
            MendNames::workingPath(path, 1).c_str());
        return false;
    }
    const std::string& rebuilt = *working;
    std::string kept;
    std::string notes;
    SalvageBudget budget;
    // A program asked to end stops at its next page read, as a kill there would: the new file
    // is left unfinished under its working name, the store as it is, for the next launch.
    bool ending = false;
    try {
        SQLite::Database fresh(rebuilt, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, kBusyTimeoutMilliseconds,
            pf::RetryingReadVfs::name());
        prepare(fresh);
        SQLite::Transaction transaction(fresh);
        auto source = FilePageSource::open(path);
        if (!source)
            throw std::runtime_error("the damaged file cannot be opened");
        PageReader reader(
            *source,
            [&] {
                ending = ending || pf::TerminationSignal::received() != 0;
                return !ending && !budget.spent();
            },
            [&] {
                ending = ending || pf::TerminationSignal::received() != 0;
                return !ending && !budget.spentApartFromTime();
            });
        // Until the reader knows the database's size (its first reads may look for the page
        // size), the file's data bounds the time.
        budget.setTime(source->dataEnd());
        const auto started = reader.start();
        if (ending)
            throw MendEnded();
        if (started == PageReader::Got::Failed)
            throw std::runtime_error("a read of the damaged file failed for now");
        budget.setTime(reader.databaseBytes());
        for (const auto& table : tables) {
            std::string columns;
            std::string places;
            int rowidColumn = -1;
            for (size_t i = 0; i < table.columns.size(); ++i) {
                columns += (columns.empty() ? "" : ", ") + quotedIdentifier(table.columns[i]);
                places += places.empty() ? "?" : ", ?";
                if (table.columns[i] == table.rowidColumn)
                    rowidColumn = static_cast<int>(i);
            }
            const std::string sql = "INSERT OR IGNORE INTO " + quotedIdentifier(table.name) + " (" + columns + ") VALUES (" + places + ")";
            sqlite3_stmt* prepared = nullptr;
            if (const int code = sqlite3_prepare_v2(fresh.getHandle(), sql.c_str(), -1, &prepared, nullptr); code != SQLITE_OK)
                throw SQLite::Exception(fresh.getHandle(), code);
            const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> insert(prepared, sqlite3_finalize);
            SalvageWalk walk(reader, { table.name, table.columns.size(), rowidColumn, kMaxSalvagedValueBytes, kMaxHeldBytes });
            const auto end = walk.run([&](std::int64_t, const std::vector<SalvagedValue>& values) {
                // Asked to end, the mend keeps nothing more: the rows the reading held by then
                // are not written to a file that is given up anyway.
                if (ending)
                    return false;
                ++budget.rows;
                for (const auto& value : values)
                    budget.bytes += value.bytes.empty() ? 8 : value.bytes.size();
                if (!table.isWhole(values))
                    return false;
                sqlite3_reset(insert.get());
                bindRow(insert.get(), values, reader.header().encoding);
                if (const int code = sqlite3_step(insert.get()); code != SQLITE_DONE)
                    throw SQLite::Exception(fresh.getHandle(), code);
                return sqlite3_changes(fresh.getHandle()) > 0;
            });
            if (ending)
                throw MendEnded();
            if (end == SalvageWalk::End::Failed)
                throw std::runtime_error("a read of the damaged file failed for now");
            const auto& counts = walk.counts();
            kept += (kept.empty() ? "" : ", ") + std::to_string(counts.kept) + " " + table.rowsName;
            const auto note = [&](long long count, const std::string& what) {
                if (count > 0)
                    notes += "; " + what + ": " + std::to_string(count);
            };
            note(counts.leftOut, "rows of " + table.name + " left out as not whole");
            note(counts.reachedAgain, "pages of " + table.name + " reached again where the file's tree leads back");
            note(counts.damagedPages, "pages of " + table.name + ", of the schema or of the other trees that did not read");
            note(counts.freeOnTree, "pages the trees lead to that are on the free list, not read as theirs");
            note(counts.overflowLost, "rows of " + table.name + " whose overflow pages did not read");
            note(counts.keptOffTree, "rows of " + table.name + " kept from leaves no readable page leads to");
            note(counts.settled, "rows of " + table.name + " found twice and differing off its tree, the copy a readable interior page leads to kept");
            note(counts.conflicting, "rows of " + table.name + " found twice and differing off its tree, left out");
            note(counts.deletedSkipped, "rows of " + table.name + " on free pages, left out as deleted");
            note(counts.maybeDeleted, "rows of " + table.name
                    + " on pages no readable page leads to, left out since the free list does not read whole (any may be deleted)");
            if (!reader.header().read && counts.kept == 0)
                notes += "; " + table.name + " could not be read at all";
            if (end == SalvageWalk::End::Stopped)
                notes += "; the reading of " + table.name + " stopped at its bounds";
        }
        if (const auto& header = reader.header(); header.pageSizeFromPages) {
            notes += "; the page size found from the pages: " + std::to_string(header.pageSize) + " bytes";
            if (header.usable != header.pageSize)
                notes += ", " + std::to_string(header.pageSize - header.usable) + " of them reserved at each page's end";
        }
        transaction.commit();
    } catch (const MendEnded&) {
        pf::Log::line("GameDatabase: the mend stopped: the program is ending; the store is left as it is for the next launch");
        return false;
    } catch (const std::exception& e) {
        pf::Log::format("GameDatabase: the damaged file cannot be mended now: %s", e.what());
        MendNames::removeWorkingFile(rebuilt);
        return false;
    }
    if (pf::TerminationSignal::received() != 0) {
        pf::Log::line("GameDatabase: the mend stopped: the program is ending; the store is left as it is for the next launch");
        return false;
    }
    // The damaged file goes aside without a byte of it being read (a page the disk cannot give
    // back must not stop the mend): under a second name, its journals too, so that the new file
    // then takes its place in one step and only then the journals leave it; or, where the file
    // system has no second names, moved there with its journals, the new file following at once.
    // A launch finds each state a kill on the way leaves, and finishes the mend
    // (`CutMend`).
    std::string error;
    bool linked = true;
    auto aside = pf::FileManager::setAsideLinkWith(path, MendNames::journals(), &error);
    if (!aside) {
        linked = false;
        std::string moveError;
        const std::string name = pf::FileManager::asidePathWith(path, MendNames::journals());
        if (!MendNames::writeAsideRecord(rebuilt, path, name, &moveError)
            || !pf::FileManager::moveAsideWith(path, name, MendNames::journals(), &moveError)) {
            pf::Log::format("GameDatabase: cannot set the damaged file aside: %s; %s", error.c_str(), moveError.c_str());
            MendNames::removeWorkingFile(rebuilt);
            return false;
        }
        aside = name;
    }
    if (!pf::FileManager::replaceItem(rebuilt, path, &error)) {
        pf::Log::format("GameDatabase: cannot put the mended file in place: %s", error.c_str());
        // Back as it was: one damaged file leaves one file aside, however often it is tried.
        for (const auto& suffix : MendNames::journals()) {
            if (linked && pf::FileManager::isSameFile(*aside + suffix, path + suffix))
                pf::FileManager::removeFile(*aside + suffix);
            else if (pf::FileManager::isOccupied(*aside + suffix) && !pf::FileManager::isOccupied(path + suffix))
                pf::FileManager::moveItem(*aside + suffix, path + suffix);
        }
        if (linked)
            pf::FileManager::removeFile(*aside);
        else
            pf::FileManager::moveItem(*aside, path);
        MendNames::removeWorkingFile(rebuilt);
        return false;
    }
    MendNames::flushPlacement(path);
    if (linked)
        pf::FileManager::dropCompanionsKeptAside(path, MendNames::journals());
    MendNames::removeWorkingFile(rebuilt);
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
