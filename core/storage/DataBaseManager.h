#pragma once

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
//   the journal of a transaction that a killed process left to roll back.
// - The first operation on the file in a process checks it (SQLite's quick check) before its
//   work; later ones do not. Damage that the check finds, or that an operation meets later (a
//   file that is not a database, pages that do not read), is mended: the rows of the tables
//   the manager names (`salvagedTables`) that still read whole are copied into a new file,
//   made under a temporary name. The damaged file is read as it stands, without its journal;
//   where not even its first page reads, nothing of it is kept and the new file starts empty.
//   The reading steps past pages that are damaged, cut off or that
//   the disk cannot give back, and past a tree that leads back to pages already read; it stops
//   at bounds of rows, bytes and about three seconds, keeping what it read by then. The damaged
//   file is set aside (as "GameDatabase.sqlite.corrupt", or ".corrupt-2" and on) without a byte
//   of it being read: under a second name while it stays in place, or, where the file system
//   has no second names, moved there; its journals go beside it. A second name left by a mend
//   that was killed before the rename is kept, not made again. The new file is renamed into
//   its place, and the operation runs once more on it. A process killed before that leaves the
//   damaged file in place, to be mended at the next launch (or, after a move, the new file
//   under its temporary name, which the next launch puts in place). The log says where the
//   damaged file lies and how many rows were kept.
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

    // A table whose rows are kept when the file is mended: the columns read and written (in
    // this order; the new file's table, made by `prepare`, has them), what its rows are called
    // in the log, and whether a row read from the damaged file is whole (`row` stands on it,
    // its columns in the order named). Rows are read in rowid order; a range of rowids that
    // does not read is stepped over.
    struct SalvagedTable {
        std::string name;
        std::vector<std::string> columns;
        std::string rowsName;
        std::function<bool(const SQLite::Statement& row)> isWhole;
    };
    virtual std::vector<SalvagedTable> salvagedTables() const { return {}; }

private:
    // Builds the new file from the damaged one at `path` and puts it in place; false (the file
    // left as it was) when that cannot be done.
    bool mendDamagedFile(const std::string& path);
};
