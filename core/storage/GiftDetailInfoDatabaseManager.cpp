#include "core/storage/GiftDetailInfoDatabaseManager.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <limits>
#include <string_view>
#include <variant>
#include <vector>

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

// The position of a column in the table and in every row read (`kSelect` names them in table
// order), found when compiling: a row's values are read by position, not looked up by name.
consteval int columnAt(std::string_view name)
{
    for (size_t i = 0; i < GiftDetailInfo::kTableColumns.size(); ++i) {
        if (name == GiftDetailInfo::kTableColumns[i])
            return static_cast<int>(i);
    }
    throw "not a column of the booked-gift table";
}

// Every column, in table order (that of GiftDetailInfo::kTableColumns).
const char* const kSelect =
    "SELECT fid, title, arcurl, desc, info, startime, endtime, draw, doom, status, type, extcredits1, "
    "extcredits2, ext1, ext2, tao_ext1, total, send, litpic, abouts, indexInTable FROM GiftDetailInfoTableName";

int int32Column(const SQLite::Statement& row, int index)
{
    std::int64_t v = row.getColumn(index).getInt64(); // NULL reads as 0
    return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Times are kept whole, so they do not run out in 2038.
std::int64_t int64Column(const SQLite::Statement& row, int index)
{
    return row.getColumn(index).getInt64(); // NULL reads as 0
}

RecordText textColumn(const SQLite::Statement& row, int index)
{
    SQLite::Column column = row.getColumn(index);
    return RecordText(std::string(column.getText(), static_cast<size_t>(column.getBytes()))); // NULL reads as ""
}

// Items that are plain values are skipped, as in an archived gift; anything else the list
// holds that is not a related gift refuses the whole list.
RelatedGiftInfo::List aboutsColumn(const SQLite::Statement& row, int fid)
{
    SQLite::Column column = row.getColumn(columnAt("abouts"));
    if (column.isNull())
        return {};
    const auto* bytes = static_cast<const std::uint8_t*>(column.getBlob());
    pf::Bytes archive(bytes, bytes + column.getBytes());
    std::string error;
    auto list = pf::KeyedUnarchiver::unarchivedObjects<RelatedGiftInfo>(archive, &error, pf::KeyedUnarchiver::PlainItems::Skip);
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
    info->setTitle(textColumn(row, columnAt("title")));
    info->setArcurl(textColumn(row, columnAt("arcurl")));
    info->setDesc(textColumn(row, columnAt("desc")));
    info->setInfo(textColumn(row, columnAt("info")));
    info->setStartTime(int64Column(row, columnAt("startime")));
    info->setEndTime(int64Column(row, columnAt("endtime")));
    info->setFid(int32Column(row, columnAt("fid")));
    info->setDraw(int32Column(row, columnAt("draw")));
    info->setDoom(int32Column(row, columnAt("doom")));
    info->setStatus(int32Column(row, columnAt("status")));
    info->setType(textColumn(row, columnAt("type")));
    info->setExtcredits1(int32Column(row, columnAt("extcredits1")));
    info->setExtcredits2(int32Column(row, columnAt("extcredits2")));
    info->setExt1(int32Column(row, columnAt("ext1")));
    info->setExt2(int32Column(row, columnAt("ext2")));
    info->setTao_ext1(int32Column(row, columnAt("tao_ext1")));
    info->setTotal(int32Column(row, columnAt("total")));
    info->setSend(int32Column(row, columnAt("send")));
    info->setLitpic(textColumn(row, columnAt("litpic")));
    info->setAbouts(aboutsColumn(row, info->fid()));
    info->setIndexInTable(int64Column(row, columnAt("indexInTable")));
    return info;
}

// A booking that still reads whole (see the class's rules); `row` holds the columns in table order.
bool isWholeBooking(const std::vector<SalvagedValue>& row)
{
    using Kind = SalvagedValue::Kind;
    constexpr std::array kIntegerColumns { columnAt("startime"), columnAt("endtime"), columnAt("draw"), columnAt("doom"),
        columnAt("status"), columnAt("extcredits1"), columnAt("extcredits2"), columnAt("ext1"), columnAt("ext2"),
        columnAt("tao_ext1"), columnAt("total"), columnAt("send"), columnAt("indexInTable") };
    constexpr std::array kOptionalTextColumns { columnAt("arcurl"), columnAt("desc"), columnAt("info"), columnAt("type"),
        columnAt("litpic") };
    if (row.size() != GiftDetailInfo::kTableColumns.size())
        return false;
    auto kind = [&](int column) { return row[static_cast<size_t>(column)].kind; };
    const SalvagedValue& fid = row[columnAt("fid")];
    if (fid.kind != Kind::Integer || fid.integer < std::numeric_limits<int>::min() || fid.integer > std::numeric_limits<int>::max())
        return false;
    if (kind(columnAt("title")) != Kind::Text)
        return false;
    for (int column : kIntegerColumns) {
        if (kind(column) != Kind::Integer)
            return false;
    }
    for (int column : kOptionalTextColumns) {
        if (kind(column) != Kind::Text && kind(column) != Kind::Null)
            return false;
    }
    return kind(columnAt("abouts")) == Kind::Blob || kind(columnAt("abouts")) == Kind::Null;
}

// A column's value as the store writes it: a whole number, a text, or the related gifts' archive.
using ColumnValue = std::variant<std::int64_t, std::string, pf::Bytes>;

// The twenty columns after "fid", in table order, as the store writes the record.
std::array<ColumnValue, 20> columnValues(const GiftDetailInfo& info, std::int64_t indexInTable)
{
    return { info.title().text(), info.arcurl().text(), info.desc().text(), info.info().text(),
        static_cast<std::int64_t>(info.startTime()), static_cast<std::int64_t>(info.endTime()),
        std::int64_t { info.draw() }, std::int64_t { info.doom() }, std::int64_t { info.status() }, info.type().text(),
        std::int64_t { info.extcredits1() }, std::int64_t { info.extcredits2() }, std::int64_t { info.ext1() },
        std::int64_t { info.ext2() }, std::int64_t { info.tao_ext1() }, std::int64_t { info.total() },
        std::int64_t { info.send() }, info.litpic().text(),
        pf::KeyedArchiver::archivedData(info.abouts().value_or(RelatedGiftInfo::List {})), indexInTable };
}

void bindValue(SQLite::Statement& statement, int index, const ColumnValue& value)
{
    if (auto* number = std::get_if<std::int64_t>(&value))
        statement.bind(index, *number);
    else if (auto* text = std::get_if<std::string>(&value))
        statement.bind(index, *text);
    else
        statement.bind(index, std::get<pf::Bytes>(value).data(), static_cast<int>(std::get<pf::Bytes>(value).size()));
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

std::vector<DataBaseManager::SalvagedTable> GiftDetailInfoDatabaseManager::salvagedTables() const
{
    return { { kTable, std::vector<std::string>(GiftDetailInfo::kTableColumns.begin(), GiftDetailInfo::kTableColumns.end()),
        "bookings", isWholeBooking, "fid" } };
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
        SQLite::Statement query(db, std::string(kSelect) + " ORDER BY indexInTable DESC");
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
        SQLite::Statement query(db, std::string(kSelect) + " WHERE fid = ?");
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
        int index = 2;
        for (const ColumnValue& value : columnValues(info, bookedAt))
            bindValue(insert, index++, value);
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
        // What the row reads as is compared with the record, and only what differs is written:
        // a related list that could not be read, or whose plain items were skipped, reads the
        // same as the record that came from it, and so stays as it is stored.
        SQLite::Transaction transaction(db);
        std::array<ColumnValue, 20> stored;
        {
            SQLite::Statement query(db, std::string(kSelect) + " WHERE fid = ?");
            query.bind(1, info.fid());
            if (!query.executeStep())
                return Status::NotFound;
            auto row = itemFromResultSet(query);
            stored = columnValues(*row, row->indexInTable());
        }
        const auto wanted = columnValues(info, info.indexInTable());
        std::string assignments;
        std::vector<size_t> changed;
        for (size_t i = 0; i < wanted.size(); ++i) {
            if (wanted[i] == stored[i])
                continue;
            assignments += std::string(assignments.empty() ? "" : ", ") + GiftDetailInfo::kTableColumns[i + 1] + " = ?";
            changed.push_back(i);
        }
        if (changed.empty())
            return Status::Ok;
        SQLite::Statement update(db, "UPDATE " + kTable + " SET " + assignments + " WHERE fid = ?");
        int index = 1;
        for (size_t i : changed)
            bindValue(update, index++, wanted[i]);
        update.bind(index, info.fid());
        update.exec();
        transaction.commit();
        return Status::Ok;
    });
}
