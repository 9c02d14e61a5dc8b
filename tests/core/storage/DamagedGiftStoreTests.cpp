// A booked store whose file is damaged keeps every booking that still reads whole: at the first
// use of a launch, and when an operation meets damage later in one.
#include "core/storage/GiftDetailInfoDatabaseManager.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/support/DamagedStore.h"
#include "tests/support/RelatedGifts.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using Status = DataBaseManager::Status;
using namespace testsupport::damagedstore;

namespace {

constexpr int kBookings = 60;

// Fids with gaps between them, so a start that lands between two rows shows.
int fidAt(int i) { return 100 + 7 * i; }

// About 900 bytes a row: four to a page, sixty over some fifteen pages.
std::shared_ptr<GiftDetailInfo> booking(int fid)
{
    auto g = std::make_shared<GiftDetailInfo>();
    g->setFid(fid);
    g->setTitle("礼包 " + std::to_string(fid));
    g->setDesc(std::string(600, static_cast<char>('a' + fid % 26)));
    g->setStartTime(1'700'000'000LL + fid);
    g->setEndTime(1'800'000'000LL + fid);
    g->setStatus(fid % 4);
    g->setTotal(fid * 3);
    g->setAbouts(RelatedGiftInfo::List { testsupport::related(fid + 1, "相关 " + std::to_string(fid), fid % 2) });
    return g;
}

void bookAll(pf::TaskEnvironment& env)
{
    for (int i = 0; i < kBookings; ++i) {
        ASSERT_EQ(GiftDetailInfoDatabaseManager::sharedInstance()->insertDataIntoTableWithGiftDetailInfo(*booking(fidAt(i))), Status::Ok);
        env.fastForwardBy(1);
    }
}

std::set<std::int64_t> fidsOf(const std::optional<GiftDetailInfo::List>& list)
{
    std::set<std::int64_t> out;
    for (const auto& g : list.value_or(GiftDetailInfo::List {}))
        out.insert(g->fid());
    return out;
}

template <typename Map> std::set<std::int64_t> keysOf(const Map& rows)
{
    std::set<std::int64_t> out;
    for (const auto& [fid, row] : rows)
        out.insert(fid);
    return out;
}

// The file with `leaf` damaged, written in place of the store's; gives its bytes.
pf::Bytes damageFile(const std::string& path, const Leaf& leaf, Damage how)
{
    auto bytes = pf::FileManager::read(path);
    EXPECT_TRUE(bytes);
    damage(*bytes, leaf, how);
    EXPECT_TRUE(pf::FileManager::writeAtomically(path, *bytes));
    return *bytes;
}

// The leaf in the middle of the bookings' table: sound pages lie on both sides of it.
Leaf middleLeaf(const std::string& path)
{
    auto leaves = tableLeaves(*pf::FileManager::read(path));
    EXPECT_GE(leaves.size(), 12u);
    return leaves.empty() ? Leaf {} : leaves[leaves.size() / 2];
}

std::string integrityOf(const std::string& path)
{
    SQLite::Database db(path, SQLite::OPEN_READONLY);
    return db.execAndGet("PRAGMA integrity_check").getString();
}

}

TEST(DamagedGiftStore, ADamagedPageAtLaunchLosesOnlyTheBookingsItHeld)
{
    for (Damage how : { Damage::WholePage, Damage::CellPointers, Damage::CellPointersAtNothing }) {
        SCOPED_TRACE(nameOf(how));
        pf::TaskEnvironment env;
        auto store = GiftDetailInfoDatabaseManager::sharedInstance();
        const std::string path = DataBaseManager::databasePath();
        bookAll(env);
        auto expected = storedRows(path);
        const Leaf hit = middleLeaf(path);
        ASSERT_FALSE(hit.rowids.empty());
        for (auto fid : hit.rowids)
            expected.erase(fid);
        const pf::Bytes damaged = damageFile(path, hit, how);
        // A launch killed while it built the new file left that unfinished.
        ASSERT_TRUE(pf::FileManager::writeAtomically(path + ".rebuilt", std::string_view("half a file")));

        pf::ResetRegistry::resetAll(); // the next launch
        pf::Log::startCapture();
        auto list = store->retrieveDataFromTable();
        const std::string aside = asideNamedInLog();
        const bool counted = pf::Log::contains("a new file holds the " + std::to_string(expected.size()) + " bookings");
        pf::Log::stopCapture();

        EXPECT_EQ(fidsOf(list), keysOf(expected)) << "the sound pages' bookings, and nothing else";
        for (const auto& g : list.value_or(GiftDetailInfo::List {}))
            EXPECT_EQ(g->title().text(), "礼包 " + std::to_string(g->fid()));
        EXPECT_EQ(storedRows(path), expected) << "every kept value as it was stored";
        EXPECT_EQ(aside, path + ".corrupt");
        EXPECT_EQ(pf::FileManager::read(aside), damaged) << "the damaged file is kept byte for byte";
        EXPECT_TRUE(counted);
        EXPECT_FALSE(pf::FileManager::exists(path + ".rebuilt"));

        // A booking made now is in the live file, which is sound.
        auto late = booking(fidAt(kBookings));
        ASSERT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*late), Status::Ok);
        EXPECT_EQ(storedRows(path).count(late->fid()), 1u);
        EXPECT_EQ(integrityOf(path), "ok");
        EXPECT_FALSE(pf::FileManager::exists(path + ".corrupt-2")) << "the new file is not taken for a damaged one";
    }
}

TEST(DamagedGiftStore, AWriteOrAReadThatMeetsDamageLaterInALaunchKeepsTheSoundBookings)
{
    pf::TaskEnvironment env;
    auto store = GiftDetailInfoDatabaseManager::sharedInstance();
    const std::string path = DataBaseManager::databasePath();
    bookAll(env);
    auto expected = storedRows(path);
    const Leaf hit = middleLeaf(path);
    for (auto fid : hit.rowids)
        expected.erase(fid);
    // A companion name of the first aside copy is taken by a file nobody removed.
    ASSERT_TRUE(pf::FileManager::writeAtomically(path + ".corrupt-journal", std::string_view("stray")));
    const pf::Bytes damaged = damageFile(path, hit, Damage::WholePage);

    // A booking whose fid falls among the damaged page's meets the damage.
    auto booked = booking(static_cast<int>(hit.rowids.front()) + 1);
    pf::Log::startCapture();
    EXPECT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*booked), Status::Ok);
    EXPECT_EQ(asideNamedInLog(), path + ".corrupt-2");
    pf::Log::stopCapture();
    expected[booked->fid()] = {};
    EXPECT_EQ(keysOf(storedRows(path)), keysOf(expected)) << "the booking is in the live file beside the sound ones";
    EXPECT_EQ(pf::FileManager::read(path + ".corrupt-2"), damaged);
    EXPECT_EQ(pf::FileManager::readText(path + ".corrupt-journal"), "stray");

    // A page of the new file damaged since: the next read meets it and mends again.
    const Leaf second = tableLeaves(*pf::FileManager::read(path)).at(1);
    const pf::Bytes damagedAgain = damageFile(path, second, Damage::WholePage);
    for (auto fid : second.rowids)
        expected.erase(fid);
    Status status = Status::Ok;
    pf::Log::startCapture();
    EXPECT_FALSE(store->retrieveDataFromTableWithFid(static_cast<int>(second.rowids.front()), &status));
    pf::Log::stopCapture();
    EXPECT_EQ(status, Status::NotFound);
    EXPECT_EQ(fidsOf(store->retrieveDataFromTable()), keysOf(expected));
    EXPECT_EQ(pf::FileManager::read(path + ".corrupt-3"), damagedAgain);
    EXPECT_EQ(integrityOf(path), "ok");
}

// Rows that do not read whole are left out; the NULLs an older file may hold where a text or the
// related gifts belong are kept as they are.
TEST(DamagedGiftStore, OnlyWholeBookingsAreKept)
{
    pf::TaskEnvironment env;
    auto store = GiftDetailInfoDatabaseManager::sharedInstance();
    const std::string path = DataBaseManager::databasePath();
    bookAll(env);
    const std::vector<std::pair<int, const char*>> edits {
        { fidAt(0), "title = NULL" },
        { fidAt(1), "startime = NULL" },
        { fidAt(2), "status = 'open'" },
        { fidAt(3), "total = 1.5" },
        { fidAt(4), "abouts = 'not an archive'" },
        { fidAt(5), "arcurl = NULL, desc = NULL, info = NULL, type = NULL, litpic = NULL, abouts = NULL" },
        { fidAt(6), "title = ''" },
    };
    {
        SQLite::Database raw(path, SQLite::OPEN_READWRITE);
        for (const auto& [fid, change] : edits)
            raw.exec(std::string("UPDATE GiftDetailInfoTableName SET ") + change + " WHERE fid = " + std::to_string(fid));
        // A fid no record can hold.
        raw.exec("INSERT INTO GiftDetailInfoTableName (fid, title, startime, endtime, draw, doom, status, extcredits1, "
                 "extcredits2, ext1, ext2, tao_ext1, total, send, indexInTable) VALUES (5000000000, 'far', 1, 1, 0, 0, 0, "
                 "0, 0, 0, 0, 0, 0, 0, 1)");
    }
    auto expected = storedRows(path);
    const Leaf hit = middleLeaf(path);
    for (auto fid : hit.rowids)
        expected.erase(fid);
    for (int i = 0; i < 5; ++i) {
        ASSERT_FALSE(std::count(hit.rowids.begin(), hit.rowids.end(), fidAt(i)));
        expected.erase(fidAt(i));
    }
    expected.erase(5'000'000'000LL);
    damageFile(path, hit, Damage::CellPointers);

    pf::ResetRegistry::resetAll();
    pf::Log::startCapture();
    EXPECT_EQ(fidsOf(store->retrieveDataFromTable()), keysOf(expected));
    EXPECT_TRUE(pf::Log::contains("rows of GiftDetailInfoTableName left out as not whole: "));
    pf::Log::stopCapture();
    EXPECT_EQ(storedRows(path), expected);
    auto bare = store->retrieveDataFromTableWithFid(fidAt(5));
    ASSERT_TRUE(bare && bare->abouts());
    EXPECT_EQ(bare->arcurl().text(), "");
    EXPECT_TRUE(bare->abouts()->empty());
    EXPECT_EQ(store->retrieveDataFromTableWithFid(fidAt(6))->title().text(), "");
}
