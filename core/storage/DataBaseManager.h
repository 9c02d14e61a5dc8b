#pragma once

#include <functional>
#include <memory>
#include <string>

namespace SQLite {
class Database;
}

// The app's one database file, "GameDatabase.sqlite" in the documents folder of the current
// sandbox, and the way every store operation reaches it.
//
// Rules:
// - Each operation opens its own connection and closes it before returning; nothing stays
//   open between calls. Work that writes runs inside one transaction, so a process killed
//   half-way leaves the file as it was before that operation.
// - Every operation says whether it worked. A full disk, a file locked by someone else (after
//   a short wait) or a file that cannot be opened is a failure, logged and reported; nothing
//   is thrown to the caller.
// - A file that is not a database or whose pages are damaged is moved aside (to
//   "GameDatabase.sqlite.corrupt", or ".corrupt-2" and on when taken) with its journal, a new
//   file is made, and the operation runs once more on it.
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
    // database layer become Failed, a corrupt file is replaced as described above.
    Status withDatabase(const char* operation, const Work& work);
    // Runs on every fresh connection before the work: a subclass creates its tables here, so a
    // new or replaced file is ready for use.
    virtual void prepare(SQLite::Database& database) { }

private:
    static bool moveCorruptFileAside(const std::string& path);
};
