#include "core/storage/GiftDetailInfoDatabaseManager.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const std::string kTable = GiftDetailInfo::kTableName;

const char* const kCreateStatement =
    "CREATE TABLE IF NOT EXISTS GiftDetailInfoTableName (fid INTEGER  PRIMARY KEY DEFAULT NULL, "
    "title TEXT DEFAULT NULL, arcurl TEXT DEFAULT NULL, desc TEXT DEFAULT NULL, info TEXT DEFAULT NULL, "
    "startime INTEGER DEFAULT NULL, endtime INTEGER DEFAULT NULL, draw INTEGER DEFAULT NULL, "
    "doom INTEGER DEFAULT NULL, status INTEGER DEFAULT NULL, type TEXT DEFAULT NULL, "
    "extcredits1 INTEGER DEFAULT NULL, extcredits2 INTEGER DEFAULT NULL, ext1 INTEGER DEFAULT NULL, "
    "ext2 INTEGER DEFAULT NULL, tao_ext1 INTEGER DEFAULT NULL, total INTEGER DEFAULT NULL, "
    "send INTEGER DEFAULT NULL, litpic TEXT DEFAULT NULL, abouts BOLB DEFAULT NULL, "
    "indexInTable INTEGER DEFAULT NULL)";

const char* const kInsertStatement =
    "INSERT INTO GiftDetailInfoTableName (fid, title, arcurl, desc, info, startime, endtime, draw, doom, "
    "status, type, extcredits1, extcredits2, ext1, ext2, tao_ext1, total, send, litpic, abouts, "
    "indexInTable) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

const char* const kUpdateStatement =
    "UPDATE 'GiftDetailInfoTableName' SET title = ?, arcurl = ?, desc = ?, info = ?, startime = ?, "
    "endtime = ?, draw = ?, doom = ?, status = ?, type = ?, extcredits1 = ?, extcredits2 = ?, ext1 = ?, "
    "ext2 = ?, tao_ext1 = ?, total = ?, send = ?, litpic = ?, abouts = ?, indexInTable = ? WHERE fid = ?";

int int32Column(const SQLite::Statement& row, const char* name)
{
    std::int64_t v = row.getColumn(name).getInt64(); // NULL reads as 0
    return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Times are kept whole, so they do not run out in 2038.
std::int64_t int64Column(const SQLite::Statement& row, const char* name)
{
    return row.getColumn(name).getInt64(); // NULL reads as 0
}

RecordText textColumn(const SQLite::Statement& row, const char* name)
{
    SQLite::Column column = row.getColumn(name);
    return RecordText(column.isNull() ? std::string() : column.getString());
}

RelatedGiftInfo::List aboutsColumn(const SQLite::Statement& row, int fid)
{
    SQLite::Column column = row.getColumn("abouts");
    if (column.isNull())
        return {};
    const auto* bytes = static_cast<const std::uint8_t*>(column.getBlob());
    pf::Bytes archive(bytes, bytes + column.getBytes());
    std::string error;
    auto list = pf::KeyedUnarchiver::unarchivedObjects<RelatedGiftInfo>(archive, &error);
    if (!list) {
        pf::Log::format("GameDatabase: the related gifts of %d were refused: %s", fid, error.c_str());
        return {};
    }
    return *list;
}

// The row the statement stands on, as a record.
std::shared_ptr<GiftDetailInfo> itemFromResultSet(const SQLite::Statement& row)
{
    auto info = std::make_shared<GiftDetailInfo>();
    info->setTitle(textColumn(row, "title"));
    info->setArcurl(textColumn(row, "arcurl"));
    info->setDesc(textColumn(row, "desc"));
    info->setInfo(textColumn(row, "info"));
    info->setStartTime(int64Column(row, "startime"));
    info->setEndTime(int64Column(row, "endtime"));
    info->setFid(int32Column(row, "fid"));
    info->setDraw(int32Column(row, "draw"));
    info->setDoom(int32Column(row, "doom"));
    info->setStatus(int32Column(row, "status"));
    info->setType(textColumn(row, "type"));
    info->setExtcredits1(int32Column(row, "extcredits1"));
    info->setExtcredits2(int32Column(row, "extcredits2"));
    info->setExt1(int32Column(row, "ext1"));
    info->setExt2(int32Column(row, "ext2"));
    info->setTao_ext1(int32Column(row, "tao_ext1"));
    info->setTotal(int32Column(row, "total"));
    info->setSend(int32Column(row, "send"));
    info->setLitpic(textColumn(row, "litpic"));
    info->setAbouts(aboutsColumn(row, info->fid()));
    info->setIndexInTable(int64Column(row, "indexInTable"));
    return info;
}

// Binds the twenty columns after "fid", in table order, starting at parameter `first`.
void bindColumns(SQLite::Statement& statement, int first, const GiftDetailInfo& info, std::int64_t indexInTable)
{
    int i = first;
    statement.bind(i++, info.title().text());
    statement.bind(i++, info.arcurl().text());
    statement.bind(i++, info.desc().text());
    statement.bind(i++, info.info().text());
    statement.bind(i++, static_cast<int64_t>(info.startTime()));
    statement.bind(i++, static_cast<int64_t>(info.endTime()));
    statement.bind(i++, info.draw());
    statement.bind(i++, info.doom());
    statement.bind(i++, info.status());
    statement.bind(i++, info.type().text());
    statement.bind(i++, info.extcredits1());
    statement.bind(i++, info.extcredits2());
    statement.bind(i++, info.ext1());
    statement.bind(i++, info.ext2());
    statement.bind(i++, info.tao_ext1());
    statement.bind(i++, info.total());
    statement.bind(i++, info.send());
    statement.bind(i++, info.litpic().text());
    pf::Bytes abouts = pf::KeyedArchiver::archivedData(info.abouts().value_or(RelatedGiftInfo::List {}));
    statement.bind(i++, abouts.data(), static_cast<int>(abouts.size()));
    statement.bind(i++, indexInTable);
}

}

std::shared_ptr<GiftDetailInfoDatabaseManager> GiftDetailInfoDatabaseManager::sharedInstance()
{
    static std::shared_ptr<GiftDetailInfoDatabaseManager> instance = [] {
        std::shared_ptr<GiftDetailInfoDatabaseManager> made(new GiftDetailInfoDatabaseManager());
        made->createTable();
        return made;
    }();
    return instance;
}

void GiftDetailInfoDatabaseManager::prepare(SQLite::Database& database)
{
    database.exec(kCreateStatement);
}

DataBaseManager::Status GiftDetailInfoDatabaseManager::createTable()
{
    // `prepare` makes the table on every connection, so opening one is enough.
    return withDatabase("create table", [](SQLite::Database&) { return Status::Ok; });
}

std::optional<GiftDetailInfo::List> GiftDetailInfoDatabaseManager::retrieveDataFromTable()
{
    GiftDetailInfo::List list;
    Status status = withDatabase("read", [&](SQLite::Database& db) {
        list.clear();
        SQLite::Statement query(db, "SELECT * FROM " + kTable + " ORDER BY indexInTable DESC");
        while (query.executeStep())
            list.push_back(itemFromResultSet(query));
        return Status::Ok;
    });
    if (status != Status::Ok)
        return std::nullopt;
    return list;
}

std::shared_ptr<GiftDetailInfo> GiftDetailInfoDatabaseManager::retrieveDataFromTableWithFid(int fid, Status* status)
{
    std::shared_ptr<GiftDetailInfo> found;
    Status result = withDatabase("read one", [&](SQLite::Database& db) {
        found.reset();
        SQLite::Statement query(db, "SELECT * FROM " + kTable + " WHERE fid = ?");
        query.bind(1, fid);
        while (query.executeStep())
            found = itemFromResultSet(query);
        return found ? Status::Ok : Status::NotFound;
    });
    if (status)
        *status = result;
    return result == Status::Ok ? found : nullptr;
}

bool GiftDetailInfoDatabaseManager::isInfoExisted(const GiftDetailInfo& info)
{
    Status status = Status::Failed;
    retrieveDataFromTableWithFid(info.fid(), &status);
    return status == Status::Ok;
}

DataBaseManager::Status GiftDetailInfoDatabaseManager::insertDataIntoTableWithGiftDetailInfo(GiftDetailInfo& info)
{
    const auto bookedAt = static_cast<std::int64_t>(pf::RunLoop::main().now());
    Status status = withDatabase("booking", [&](SQLite::Database& db) {
        // The check and the insert share one transaction, so nothing can come in between.
        SQLite::Transaction transaction(db);
        SQLite::Statement existing(db, "SELECT 1 FROM " + kTable + " WHERE fid = ?");
        existing.bind(1, info.fid());
        if (existing.executeStep()) {
            pf::Log::line("Record existed.");
            return Status::Existed;
        }
        SQLite::Statement insert(db, kInsertStatement);
        insert.bind(1, info.fid());
        bindColumns(insert, 2, info, bookedAt);
        insert.exec();
        transaction.commit();
        return Status::Ok;
    });
    if (status == Status::Ok)
        info.setIndexInTable(bookedAt);
    return status;
}

DataBaseManager::Status GiftDetailInfoDatabaseManager::deleteRecordInTableOutOfDateTime(long long limit)
{
    return withDatabase("purge", [&](SQLite::Database& db) {
        SQLite::Statement purge(db, "DELETE FROM " + kTable + " WHERE startime < ?");
        purge.bind(1, static_cast<std::int64_t>(limit));
        purge.exec();
        return Status::Ok;
    });
}

DataBaseManager::Status GiftDetailInfoDatabaseManager::updateRecordInTable(const GiftDetailInfo& info)
{
    return withDatabase("update", [&](SQLite::Database& db) {
        SQLite::Statement update(db, kUpdateStatement);
        bindColumns(update, 1, info, info.indexInTable());
        update.bind(21, info.fid());
        return update.exec() > 0 ? Status::Ok : Status::NotFound;
    });
}
