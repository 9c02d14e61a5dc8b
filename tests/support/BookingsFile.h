#pragma once

#include "core/storage/GiftDetailInfoDatabaseManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/support/DamagedStore.h"

#include <gtest/gtest.h>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

// A booked store written for a test of its mend: bookings by fid, their descriptions of a chosen
// length, and what the next launch makes of the file once the test has damaged it.
namespace testsupport::bookingsfile {

inline std::vector<std::int64_t> consecutiveFids(int count, std::int64_t first)
{
    std::vector<std::int64_t> fids;
    for (int i = 0; i < count; ++i)
        fids.push_back(first + i);
    return fids;
}

// Fids as real gift ids lie: random gaps of up to 200,000 between them.
inline std::vector<std::int64_t> spreadFids(int count)
{
    std::mt19937 random(75);
    std::vector<std::int64_t> fids;
    std::int64_t fid = 1000;
    for (int i = 0; i < count; ++i)
        fids.push_back(fid += 1 + static_cast<std::int64_t>(random() % 200'000));
    return fids;
}

// A store of bookings of about 750 bytes by default, five to a 4 KiB leaf.
struct Bookings {
    pf::TaskEnvironment env;
    std::shared_ptr<GiftDetailInfoDatabaseManager> store = GiftDetailInfoDatabaseManager::sharedInstance();
    std::string path = DataBaseManager::databasePath();

    explicit Bookings(const std::vector<std::int64_t>& fids, int descBytes = 700)
    {
        EXPECT_EQ(store->createTable(), DataBaseManager::Status::Ok);
        add(fids, [descBytes](std::int64_t) { return descBytes; });
    }
    // Adds bookings in one transaction, each with a description of `descBytes(fid)` bytes.
    void add(const std::vector<std::int64_t>& fids, const std::function<int(std::int64_t fid)>& descBytes)
    {
        SQLite::Database raw(path, SQLite::OPEN_READWRITE);
        SQLite::Transaction transaction(raw);
        SQLite::Statement insert(raw,
            "INSERT INTO GiftDetailInfoTableName (fid, title, desc, startime, endtime, draw, doom, status, extcredits1, "
            "extcredits2, ext1, ext2, tao_ext1, total, send, indexInTable) VALUES (?, ?, ?, ?, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, ?)");
        for (auto fid : fids) {
            insert.reset();
            insert.bind(1, fid);
            insert.bind(2, "礼包 " + std::to_string(fid));
            insert.bind(3, std::string(static_cast<size_t>(descBytes(fid)), static_cast<char>('a' + fid % 26)));
            insert.bind(4, 1'700'000'000 + fid);
            insert.bind(5, fid);
            insert.exec();
        }
        transaction.commit();
    }
    // Deletes bookings without secure delete, as a store from elsewhere may: their bytes stay.
    void remove(const std::vector<std::int64_t>& fids)
    {
        SQLite::Database raw(path, SQLite::OPEN_READWRITE);
        raw.exec("PRAGMA secure_delete = OFF");
        SQLite::Transaction transaction(raw);
        SQLite::Statement remove(raw, "DELETE FROM GiftDetailInfoTableName WHERE fid = ?");
        for (auto fid : fids) {
            remove.reset();
            remove.bind(1, fid);
            remove.exec();
        }
        transaction.commit();
    }
    // Writes the file again with pages of `pageSize` bytes, `reserved` of them kept at each
    // page's end (as a checksumming file layer keeps them).
    void repage(int pageSize, int reserved = 0)
    {
        SQLite::Database raw(path, SQLite::OPEN_READWRITE);
        raw.exec("PRAGMA page_size = " + std::to_string(pageSize));
        if (reserved) {
            EXPECT_EQ(sqlite3_file_control(raw.getHandle(), "main", SQLITE_FCNTL_RESERVE_BYTES, &reserved), SQLITE_OK);
        }
        raw.exec("VACUUM");
    }
    std::set<std::int64_t> listed()
    {
        std::set<std::int64_t> fids;
        for (const auto& g : store->retrieveDataFromTable().value_or(GiftDetailInfo::List {}))
            fids.insert(g->fid());
        return fids;
    }
    // The fids of the bookings the file holds, as SQLite reads it.
    std::set<std::int64_t> live() const
    {
        std::set<std::int64_t> fids;
        for (const auto& row : damagedstore::storedRows(path))
            fids.insert(row.first);
        return fids;
    }
    size_t root()
    {
        return static_cast<size_t>(
            SQLite::Database(path).execAndGet("SELECT rootpage FROM sqlite_master WHERE name = 'GiftDetailInfoTableName'").getInt());
    }
};

inline std::set<std::int64_t> fidsOf(const std::vector<damagedstore::Leaf>& leaves)
{
    std::set<std::int64_t> fids;
    for (const auto& leaf : leaves)
        fids.insert(leaf.rowids.begin(), leaf.rowids.end());
    return fids;
}

// Mends at the next launch; expects the bookings `expected` and the log to say so.
inline void expectMendedTo(Bookings& s, const std::set<std::int64_t>& expected)
{
    pf::ResetRegistry::resetAll();
    pf::Log::startCapture();
    EXPECT_EQ(s.listed(), expected);
    EXPECT_TRUE(pf::Log::contains("a new file holds the " + std::to_string(expected.size()) + " bookings"));
    EXPECT_FALSE(pf::Log::contains("stopped at its bounds"));
    pf::Log::stopCapture();
}

// Overwrites page `page` (of `pageSize` bytes) with bytes no page holds.
inline void overwrite(pf::Bytes& bytes, size_t page, size_t pageSize = 4096)
{
    for (size_t i = 0; i < pageSize; ++i)
        bytes[(page - 1) * pageSize + i] = static_cast<std::uint8_t>(i * 131 + 7);
}

}
