#include "core/storage/DataBaseManager.h"

#include "core/storage/RetryingReadVfs.h"

#include "platform/foundation/Clock.h"
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
#include <charconv>
#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <set>
#include <thread>
#include <unordered_set>

namespace {

// A database's journals belong to it: they go aside with it, and a new file must not replay them.
const std::vector<std::string> kJournals { "-journal", "-wal", "-shm" };

// The new file is built under a working name beside the damaged one, then renamed over it:
// "<file>.rebuilt", or "<file>.rebuilt-2" and on where something the mend did not leave lies
// at the first (a folder, a link, another user's file), up to the last.
const char* const kRebuiltSuffix = ".rebuilt";
constexpr int kWorkingNames = 8;

// Before a read the disk refused is taken for damage (and the file mended), the operation is
// made again after each of these waits, in seconds: a disk reset or a cable's hiccup passes
// within them.
constexpr double kRefusalWaits[] = { 0.1, 0.2, 0.4, 0.8 };

// What the reading of a damaged file may do, so that mending it ends whatever it holds (a loop
// in its tree gives the same rows for ever, a damaged length a gigabyte): rows stepped over
// (whole or not) and statements started (reads and probes), each table; bytes of values read and
// time, the whole mend; and the longest text or blob a row of it may hold.
constexpr long long kMaxSalvagedRows = 1'000'000;
// Statements: this many, and more for a larger file: every page may end a run of readable rows,
// and stepping over the damage after it takes at most two probes for each bit of a rowid, 128
// for a page of the usual 4 KiB (the file's header, which gives its page size, may not read).
constexpr long long kMaxSalvageReads = 10'000;
constexpr long long kSalvageReadsPerKilobyte = 32;
constexpr std::uint64_t kMaxSalvagedBytes = std::uint64_t { 256 } << 20;
// Time: a few seconds, and more for a larger file, so that a large store on a disk of the
// phone's speed is read whole, however much of it is damaged (50,000 bookings, 50 MB with every
// other leaf refused, are mended in about 2.5 s on a quiet machine, against 28 s allowed). The
// file's size counts up to twice the bytes a mend may keep: a larger file cannot be kept whole
// anyway, and a hostile length must not hold the launch for hours.
constexpr double kMaxSalvageSeconds = 3;
constexpr double kSalvageSecondsPerMebibyte = 0.5;
constexpr std::uint64_t kMaxTimedBytes = 2 * kMaxSalvagedBytes;
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

std::string workingPath(const std::string& path, int n)
{
    return path + kRebuiltSuffix + (n > 1 ? "-" + std::to_string(n) : "");
}

// A file that a mend left at a working name: a regular file of this user. Anything else lying
// there (a folder, a link, another user's file) is not the mend's, and is never removed or
// taken for a mended file.
bool leftByAMend(const std::string& name)
{
    return pf::FileManager::isOwnFile(name);
}

// Where a mend that moves the damaged file aside (no second names on the file system) writes,
// before it moves anything, the aside name it chose: a launch that finds the move cut short
// puts the journals left behind beside that file, and no other. Kept beside the working file,
// and removed with it.
const char* const kAsideRecordSuffix = ".aside";

std::string asideRecordOf(const std::string& working)
{
    return working + kAsideRecordSuffix;
}

// The names a mend's working file comes with: its journals and its aside record.
std::vector<std::string> workingCompanions()
{
    std::vector<std::string> companions = kJournals;
    companions.push_back(kAsideRecordSuffix);
    return companions;
}

// Removes what a mend left at one working name (its journals and record included), and only that.
void removeWorkingFile(const std::string& working)
{
    if (leftByAMend(working))
        pf::FileManager::removeItem(working);
    for (const auto& suffix : workingCompanions()) {
        if (leftByAMend(working + suffix))
            pf::FileManager::removeItem(working + suffix);
    }
    pf::FileManager::removeLeftoverTemporaries(asideRecordOf(working));
}

// The aside name a mend recorded beside its working file: one of the store's aside names, or none
// (no record, or one that names anything else: the file is read as any file on the disk is).
std::optional<std::string> recordedAside(const std::string& path, const std::string& working)
{
    const std::string record = asideRecordOf(working);
    if (!leftByAMend(record))
        return std::nullopt;
    auto bytes = pf::FileManager::read(record, 256);
    if (!bytes)
        return std::nullopt;
    const std::string name(bytes->begin(), bytes->end());
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    const std::string first = pf::FileManager::asidePath(path).substr(folder.size());
    int n = 1;
    if (name != first) {
        const char* end = name.data() + name.size();
        if (!name.starts_with(first + "-") || std::from_chars(name.data() + first.size() + 1, end, n).ptr != end || n < 2)
            return std::nullopt;
    }
    // Only the name as the store writes it ("-2", never "-02").
    if (pf::FileManager::asidePath(path, n) != folder + name)
        return std::nullopt;
    return folder + name;
}

// The same at every working name.
void removeLeftovers(const std::string& path)
{
    for (int n = 1; n <= kWorkingNames; ++n)
        removeWorkingFile(workingPath(path, n));
}

// The first working name at which nothing lies, its journals' names included (once the
// leftovers are removed); none when every one is taken.
std::optional<std::string> freeWorkingPath(const std::string& path)
{
    for (int n = 1; n <= kWorkingNames; ++n) {
        const std::string working = workingPath(path, n);
        const auto companions = workingCompanions();
        if (!pf::FileManager::isOccupied(working)
            && std::none_of(companions.begin(), companions.end(),
                [&](const std::string& suffix) { return pf::FileManager::isOccupied(working + suffix); }))
            return working;
    }
    return std::nullopt;
}

// The mended file a mend killed on the way left finished (its transaction ended: no journal
// beside it) at its working name; none when there is none. At most one working name holds a
// file of the mend's: each mend removes the others first.
std::optional<std::string> finishedWorkingFile(const std::string& path)
{
    for (int n = 1; n <= kWorkingNames; ++n) {
        const std::string working = workingPath(path, n);
        if (!leftByAMend(working))
            continue;
        if (std::any_of(kJournals.begin(), kJournals.end(),
                [&](const std::string& suffix) { return pf::FileManager::isOccupied(working + suffix); }))
            return std::nullopt;
        return working;
    }
    return std::nullopt;
}

// Waits `seconds` of real time, blocking the main thread: a disk gives a refused sector back in
// real time, whatever clock the app's timers run on (the simulator's manual clock included), so
// the wait is neither skipped nor moved onto that clock.
void waitForTheDisk(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// What the whole mend has spent of its bounds: it ends when they are.
// Its time runs on the process clock: real time in the app; on manual time (tests, the
// simulator's manual mode) it does not pass while the mend reads, and the other bounds govern,
// with a backstop of real time ten times as long, so that no clock leaves the main thread
// reading a hostile file for ever.
struct SalvageBudget {
    double deadline; // on the clock's monotonic time
    std::chrono::steady_clock::time_point realDeadline;
    std::uint64_t bytes = 0; // of the values of every row read

    bool spent() const
    {
        return bytes >= kMaxSalvagedBytes || pf::Clock::shared().monotonicNow() >= deadline
            || std::chrono::steady_clock::now() >= realDeadline;
    }
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
    long long maxReads = kMaxSalvageReads; // statements the walk may start
    long long reads = 0;     // statements started
    int rangesSkipped = 0;   // ranges of rowids that did not read
    bool unreadable = false; // the table cannot be read at all (its schema, or the file's head)
    bool cut = false;        // the walk reached its bounds before the table's end

    bool spent() const { return reads >= maxReads || stepped >= kMaxSalvagedRows || budget.spent(); }
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

namespace {

enum class CutMend {
    None,     // nothing of a mend cut short (or what it left was put right)
    Finished, // the mended file took the store's place
    MendAgain, // the store is also named aside and nothing mended is left: it is mended again
    Blocked,  // what it left cannot be put right now
};

// What a mend killed on the way left, put right before anything reads or writes the store: the
// damaged file also named aside with its mended file finished beside it (the mended file takes
// its place), the damaged file moved aside (the same, its journals following it first), or
// journals of the file aside still beside the new store (they go).
CutMend finishCutMend(const std::string& path)
{
    const auto working = finishedWorkingFile(path);
    std::string error;
    if (auto aside = pf::FileManager::asideLinkOf(path, kJournals)) {
        // Written through, the store would change the copy aside; opened, it could roll a
        // journal back into it.
        if (!working)
            return CutMend::MendAgain;
        if (!pf::FileManager::setAsideLinkWith(path, kJournals, &error) || !pf::FileManager::replaceItem(*working, path, &error)) {
            pf::Log::format("GameDatabase: the file mended before the last launch ended cannot be put in place: %s", error.c_str());
            return CutMend::Blocked;
        }
        flushPlacement(path);
        pf::FileManager::dropCompanionsKeptAside(path, kJournals);
        pf::Log::format("GameDatabase: the file mended before the last launch ended is put in place; the damaged file lies at %s",
            aside->c_str());
        return CutMend::Finished;
    }
    if (!pf::FileManager::isOccupied(path)) {
        // A file still being written (its journal beside it) is not taken, nor removed.
        if (!working)
            return CutMend::None;
        // The journals left behind go beside the damaged file the mend moved, named by its
        // record: never guessed from the names taken, which may be older copies'.
        const auto aside = recordedAside(path, *working);
        if (auto went = pf::FileManager::finishSetAsideWith(path, aside, kJournals); went && went != aside)
            pf::Log::format("GameDatabase: the journals the damaged file left behind lie at %s, beside no file", went->c_str());
        if (!pf::FileManager::replaceItem(*working, path, &error)) {
            pf::Log::format("GameDatabase: the file mended before the last launch ended cannot be put in place: %s", error.c_str());
            return CutMend::Blocked;
        }
        flushPlacement(path);
        removeWorkingFile(*working);
        pf::Log::format("GameDatabase: the file mended before the last launch ended is put in place%s",
            aside ? ("; the damaged file lies at " + *aside).c_str() : "");
        return CutMend::Finished;
    }
    pf::FileManager::dropCompanionsKeptAside(path, kJournals);
    removeLeftovers(path);
    return CutMend::None;
}

}

DataBaseManager::Status DataBaseManager::withDatabase(const char* operation, const Work& work)
{
    const std::string path = databasePath();
    bool mended = false;
    if (!checkedFiles().count(path)) {
        switch (finishCutMend(path)) {
        case CutMend::None:
        case CutMend::Finished:
            break;
        case CutMend::Blocked:
            return Status::Failed;
        case CutMend::MendAgain:
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
        const auto before = RetryingReadVfs::failures();
        try {
            SQLite::Database database(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, kBusyTimeoutMilliseconds,
                RetryingReadVfs::name());
            bool sound = true;
            if (!checkedFiles().count(path)) {
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
            if (!isRefusedRead(e.getExtendedErrorCode()) && !isDamage(e.getErrorCode()))
                return Status::Failed;
        } catch (const std::exception& e) {
            pf::Log::format("GameDatabase: %s failed: %s", operation, e.what());
            return Status::Failed;
        }
        // A read the disk refused may be given back in a moment (a disk reset, a cable's
        // hiccup): the operation is made again after each wait before the file is taken for
        // damaged. Only on the way to a mend, and once for it: the mend's own reads do not wait.
        const bool refused = RetryingReadVfs::failures().refused != before.refused;
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
    // What a launch killed while building it left behind is unfinished: it starts again.
    removeLeftovers(path);
    const auto working = freeWorkingPath(path);
    if (!working) {
        pf::Log::format("GameDatabase: the damaged file cannot be mended now: something not of the mend's lies at each of its working names, %s and on",
            workingPath(path, 1).c_str());
        return false;
    }
    const std::string& rebuilt = *working;
    std::string kept;
    std::string notes;
    const std::uint64_t fileSize = pf::FileManager::size(path).value_or(0);
    const double seconds = kMaxSalvageSeconds
        + kSalvageSecondsPerMebibyte * static_cast<double>(std::min(fileSize, kMaxTimedBytes)) / (1 << 20);
    SalvageBudget budget { pf::Clock::shared().monotonicNow() + seconds,
        std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds * 10)) };
    const long long maxReads = kMaxSalvageReads + kSalvageReadsPerKilobyte * static_cast<long long>(fileSize / 1024);
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
            walk.maxReads = maxReads;
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
        removeWorkingFile(rebuilt);
        return false;
    }
    // The damaged file goes aside without a byte of it being read (a page the disk cannot give
    // back must not stop the mend): under a second name, its journals too, so that the new file
    // then takes its place in one step and only then the journals leave it; or, where the file
    // system has no second names, moved there with its journals, the new file following at once.
    // A launch finds each state a kill on the way leaves, and finishes the mend
    // (`finishCutMend`).
    std::string error;
    bool linked = true;
    auto aside = pf::FileManager::setAsideLinkWith(path, kJournals, &error);
    if (!aside) {
        linked = false;
        std::string moveError;
        const std::string name = pf::FileManager::asidePathWith(path, kJournals);
        const std::string recorded = name.substr(name.rfind('/') + 1);
        if (!pf::FileManager::writeAtomically(asideRecordOf(rebuilt), std::string_view(recorded), &moveError)
            || !pf::FileManager::moveAsideWith(path, name, kJournals, &moveError)) {
            pf::Log::format("GameDatabase: cannot set the damaged file aside: %s; %s", error.c_str(), moveError.c_str());
            removeWorkingFile(rebuilt);
            return false;
        }
        aside = name;
    }
    if (!pf::FileManager::replaceItem(rebuilt, path, &error)) {
        pf::Log::format("GameDatabase: cannot put the mended file in place: %s", error.c_str());
        // Back as it was: one damaged file leaves one file aside, however often it is tried.
        for (const auto& suffix : kJournals) {
            if (linked && pf::FileManager::isSameFile(*aside + suffix, path + suffix))
                pf::FileManager::removeItem(*aside + suffix);
            else if (pf::FileManager::isOccupied(*aside + suffix) && !pf::FileManager::isOccupied(path + suffix))
                pf::FileManager::moveItem(*aside + suffix, path + suffix);
        }
        if (linked)
            pf::FileManager::removeItem(*aside);
        else
            pf::FileManager::moveItem(*aside, path);
        removeWorkingFile(rebuilt);
        return false;
    }
    flushPlacement(path);
    if (linked)
        pf::FileManager::dropCompanionsKeptAside(path, kJournals);
    removeWorkingFile(rebuilt);
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
