#include "core/storage/DataBaseManager.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Sandbox.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Statement.h>
#include <sqlite3.h>

namespace {

bool isCorruption(const SQLite::Exception& e)
{
    int code = e.getErrorCode() & 0xFF;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
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
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            SQLite::Database database(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, kBusyTimeoutMilliseconds);
            prepare(database);
            return work(database);
        } catch (const SQLite::Exception& e) {
            pf::Log::format("GameDatabase: %s failed: %s (code %d)", operation, e.what(), e.getExtendedErrorCode());
            if (attempt == 0 && isCorruption(e) && moveCorruptFileAside(path))
                continue;
            return Status::Failed;
        } catch (const std::exception& e) {
            pf::Log::format("GameDatabase: %s failed: %s", operation, e.what());
            return Status::Failed;
        }
    }
    return Status::Failed;
}

bool DataBaseManager::moveCorruptFileAside(const std::string& path)
{
    // A journal left beside the damaged file belongs to it; the new file must not replay it.
    std::string error;
    auto aside = pf::FileManager::setAsideWith(path, { "-journal", "-wal", "-shm" }, &error);
    if (!aside) {
        pf::Log::format("GameDatabase: cannot move the damaged file aside: %s", error.c_str());
        return false;
    }
    pf::Log::format("GameDatabase: the damaged file was moved to %s; a new one is made", aside->c_str());
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
