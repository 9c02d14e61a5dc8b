#pragma once

#include "core/storage/SalvagedValue.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace SQLite {
class Database;
class Statement;
}

// The app's one database file, "GameDatabase.sqlite" in the documents folder of the current
// sandbox, and the way every store operation reaches it.
//
// Rules:
// - Each operation opens its own connection and closes it before returning; nothing stays
//   open between calls. Work that writes runs inside one transaction, so a process killed
//   half-way leaves the file as it was before that operation.
// - Every operation says whether it worked. A full disk, a file locked by someone else (after
//   a short wait), a file that cannot be opened or a read that fails for a reason that may
//   pass (a network file system's time-out) is a failure, logged and reported; nothing is
//   thrown to the caller, nothing is mended, and every booking is there once it passes.
// - Every read of the file is made again a few times when it fails (RetryingReadVfs), in the
//   operations, in the launch's check and as a damaged file is read. A read the disk still
//   refuses (a bad sector) is damage, wherever it lies: the file's first page, any page, or
//   the journal of a transaction that a killed process left to roll back. Before an operation
//   takes it for damage, it waits and runs again, after 0.1, 0.2, 0.4 and 0.8 s of real time
//   (a disk's hiccup passes in real time, on whatever clock the app's timers run), so a
//   refusal that lasts a moment (a disk reset) costs nothing and a hot journal is rolled back
//   once it reads. The wait blocks the main thread, on which the store runs; that is
//   acceptable because it is made only on the way to a mend, once for it (about 1.5 s, not for
//   each page the mend reads), and a mend is rare; a sound file never waits.
// - The first operation on the file in a process checks it (SQLite's quick check) before its
//   work; later ones do not. Damage that the check finds, or that an operation meets later (a
//   file that is not a database, pages that do not read), is mended: the rows of the tables
//   the manager names (`salvagedTables`) that still read whole are copied into a new file,
//   made under a working name ("GameDatabase.sqlite.rebuilt", or ".rebuilt-2" and on where
//   something the mend did not leave lies there: that is never removed; see MendNames). The
//   damaged file's pages are read by the store itself (PageReader, SalvageWalk), as they stand,
//   without its journal: every row on a table leaf that reads whole is kept, wherever the damage
//   lies (a leaf, an interior page, the table's root, the file's first page, an interior page
//   that reads but leads to the wrong pages), and no deleted row comes back (pages on the free
//   list are not rows, and what each page is is decided before a row is taken from it; a rowid
//   the table's tree gives wins over a copy elsewhere). Rows are inserted into the new file as
//   they are read; between pages the reading holds only what decides between copies of a row
//   (where each lies, not its values). The reading stops at bounds of rows, bytes, what it
//   holds (`kMaxHeldBytes`) and time (three seconds and half a second more for each MiB of the
//   database: its header's page count times its page size, no more than the file's data,
//   counted up to 512 MiB, `kMaxTimedBytes`; on the process clock, which is real time in the
//   app), keeping what it read by then: the pages it read are read again, past the time, to
//   offer their rows. Once the
//   program is asked to end (`pf::TerminationSignal`), it stops at its next page read, as a kill
//   there would: nothing more is written or renamed, the store stays as it is, the operation
//   fails and the next launch mends it. The damaged file is set aside (as
//   "GameDatabase.sqlite.corrupt", or ".corrupt-2" and on) without a byte of it being read:
//   under a second name while it stays in place, its journals given second names beside it
//   too; the new file is renamed into its place, and only then do the journals lose their
//   names beside the store. Where the file system has no second names, it is moved there, its
//   journals after it, once the aside record ("<working>.aside": the aside name, the file's
//   inode and size) is written beside the new file. The operation then runs once more on the
//   new file.
// - The first operation of a launch finishes a mend that a killed process cut short, before
//   anything reads or writes the store: a store also named aside with its mended file finished
//   at the working name (the mended file takes its place), a store named aside with none (it
//   is mended again), the store moved aside (the mended file takes its place, the journals
//   left behind following the damaged file first), or journals beside the new store that are
//   the aside copy's (they go). A file aside is never written through, and a journal never
//   parted from a file in use. The log says where the damaged file lies and how many rows
//   were kept.
// - A manager that names no tables leaves a damaged file as it is (its operation fails), for
//   one that knows what to keep of it.
class DataBaseManager {
public:
    enum class Status {
        Ok,
        Existed,   // an insert found the row already there and left it as it was
        NotFound,  // an update found no row to change
        Failed,    // the database could not be read or written
    };

    static constexpr const char* kDatabaseFileName = "GameDatabase.sqlite";
    static constexpr int kBusyTimeoutMilliseconds = 250;

    static std::shared_ptr<DataBaseManager> sharedInstance();
    virtual ~DataBaseManager() = default;

    // The database file of the current sandbox.
    static std::string databasePath();

    // Whether a table of that name exists (false also when the file cannot be read).
    bool isTableExisted(const std::string& tableName);
    Status dropTable(const std::string& tableName);

protected:
    DataBaseManager() = default;

    using Work = std::function<Status(SQLite::Database&)>;
    // Runs `work` on a fresh connection, after `prepare` (see below); exceptions of the
    // database layer become Failed, a damaged file is mended as described above.
    Status withDatabase(const char* operation, const Work& work);
    // Runs on every fresh connection before the work: a subclass creates its tables here, so a
    // new or replaced file is ready for use.
    virtual void prepare(SQLite::Database& database) { }

    // A table whose rows are kept when the file is mended: the columns read and written (in the
    // order the table was made with, which is the order of its rows' values in the file; the new
    // file's table, made by `prepare`, has them), what its rows are called in the log, whether a
    // row read from the damaged file is whole (its values in the columns' order, as stored), and
    // the column that is the table's rowid (its INTEGER PRIMARY KEY), if one is.
    struct SalvagedTable {
        std::string name;
        std::vector<std::string> columns;
        std::string rowsName;
        std::function<bool(const std::vector<SalvagedValue>& row)> isWhole;
        std::string rowidColumn {};
    };
    virtual std::vector<SalvagedTable> salvagedTables() const { return {}; }

private:
    // Builds the new file from the damaged one at `path` and puts it in place; false (the file
    // left as it was) when that cannot be done.
    bool mendDamagedFile(const std::string& path);
};
