// A booked store whose file is damaged keeps every booking that still reads whole: at the first
// use of a launch, and when an operation meets damage later in one.
#include "core/storage/GiftDetailInfoDatabaseManager.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/support/DamagedStore.h"
#include "tests/support/RelatedGifts.h"

#include <gtest/gtest.h>

#include <set>

using Status = DataBaseManager::Status;
using namespace testsupport::damagedstore;

namespace {

// Sixty bookings of about 900 bytes, four to a page; the fids have gaps between them, so a read
// taken up again between two rows shows.
int fidAt(int i) { return 100 + 7 * i; }

GiftDetailInfo booking(int fid)
{
    GiftDetailInfo g;
    g.setFid(fid);
    g.setTitle("礼包 " + std::to_string(fid));
    g.setDesc(std::string(600, static_cast<char>('a' + fid % 26)));
    g.setStartTime(1'700'000'000LL + fid);
    g.setStatus(fid % 4);
    g.setAbouts(RelatedGiftInfo::List { testsupport::related(fid + 1, "相关", fid % 2) });
    return g;
}

struct Store {
    pf::TaskEnvironment env;
    std::shared_ptr<GiftDetailInfoDatabaseManager> store = GiftDetailInfoDatabaseManager::sharedInstance();
    std::string path = DataBaseManager::databasePath();

    Store()
    {
        for (int i = 0; i < 60; ++i) {
            auto g = booking(fidAt(i));
            EXPECT_EQ(store->insertDataIntoTableWithGiftDetailInfo(g), Status::Ok);
            env.fastForwardBy(1);
        }
    }
    // Damages the leaf at `index` (from the middle when negative); gives its rowids and the bytes.
    std::pair<std::vector<std::int64_t>, pf::Bytes> damageLeaf(Damage how, int index = -1)
    {
        auto bytes = *pf::FileManager::read(path);
        auto leaves = tableLeaves(bytes);
        EXPECT_GE(leaves.size(), 14u);
        const Leaf& leaf = leaves.at(index < 0 ? leaves.size() / 2 : static_cast<size_t>(index));
        damage(bytes, leaf, how);
        EXPECT_TRUE(pf::FileManager::writeAtomically(path, bytes));
        return { leaf.rowids, bytes };
    }
    std::set<std::int64_t> listed()
    {
        std::set<std::int64_t> fids;
        for (const auto& g : store->retrieveDataFromTable().value_or(GiftDetailInfo::List {}))
            fids.insert(g->fid());
        return fids;
    }
};

template <typename Map> std::set<std::int64_t> keysOf(const Map& rows)
{
    std::set<std::int64_t> keys;
    for (const auto& entry : rows)
        keys.insert(entry.first);
    return keys;
}

}

// Rows that do not read whole are left out too: a missing title, a NULL or a text where a number
// belongs, a text for the related gifts. NULLs where an older file may hold them (the other
// texts, the related gifts) and an empty title are kept.
TEST(DamagedGiftStore, ADamagedPageAtLaunchLosesOnlyTheBookingsItHeldAndRowsThatAreNotWhole)
{
    for (Damage how : { Damage::WholePage, Damage::CellPointers }) {
        SCOPED_TRACE(how == Damage::WholePage ? "whole page" : "cell pointers");
        Store s;
        {
            SQLite::Database raw(s.path, SQLite::OPEN_READWRITE);
            raw.exec("UPDATE GiftDetailInfoTableName SET title = NULL WHERE fid = " + std::to_string(fidAt(0)));
            raw.exec("UPDATE GiftDetailInfoTableName SET startime = NULL, status = 'x' WHERE fid = " + std::to_string(fidAt(1)));
            raw.exec("UPDATE GiftDetailInfoTableName SET abouts = 'x' WHERE fid = " + std::to_string(fidAt(2)));
            raw.exec("UPDATE GiftDetailInfoTableName SET title = '', desc = NULL, abouts = NULL WHERE fid = " + std::to_string(fidAt(3)));
        }
        auto expected = storedRows(s.path);
        for (int i = 0; i < 3; ++i)
            expected.erase(fidAt(i));
        auto [lost, damaged] = s.damageLeaf(how);
        for (auto fid : lost)
            expected.erase(fid);
        // A launch killed while it built the new file left that unfinished.
        ASSERT_TRUE(pf::FileManager::writeAtomically(s.path + ".rebuilt", std::string_view("half")));

        pf::ResetRegistry::resetAll(); // the next launch
        pf::Log::startCapture();
        EXPECT_EQ(s.listed(), keysOf(expected)) << "the sound pages' whole bookings, and no row of nothing";
        EXPECT_TRUE(pf::Log::contains("set aside at " + s.path + ".corrupt; a new file holds the "
            + std::to_string(expected.size()) + " bookings"));
        pf::Log::stopCapture();
        EXPECT_EQ(storedRows(s.path), expected) << "each kept value as it was stored";
        EXPECT_EQ(pf::FileManager::read(s.path + ".corrupt"), damaged);
        EXPECT_FALSE(pf::FileManager::exists(s.path + ".rebuilt"));

        auto late = booking(5);
        ASSERT_EQ(s.store->insertDataIntoTableWithGiftDetailInfo(late), Status::Ok);
        EXPECT_EQ(storedRows(s.path).count(5), 1u) << "a booking made now is in the live file";
        EXPECT_EQ(SQLite::Database(s.path).execAndGet("PRAGMA integrity_check").getString(), "ok");
    }
}

TEST(DamagedGiftStore, AWriteOrAReadThatMeetsDamageLaterInALaunchKeepsTheSoundBookings)
{
    Store s;
    auto expected = keysOf(storedRows(s.path));
    // A companion name of the first aside copy is taken by a file nobody removed.
    ASSERT_TRUE(pf::FileManager::writeAtomically(s.path + ".corrupt-journal", std::string_view("stray")));
    auto [lost, damaged] = s.damageLeaf(Damage::WholePage);
    for (auto fid : lost)
        expected.erase(fid);

    // A booking whose fid falls among the damaged page's meets the damage, and lands beside the
    // sound bookings.
    auto booked = booking(static_cast<int>(lost.front()) + 1);
    EXPECT_EQ(s.store->insertDataIntoTableWithGiftDetailInfo(booked), Status::Ok);
    expected.insert(booked.fid());
    EXPECT_EQ(keysOf(storedRows(s.path)), expected);
    EXPECT_EQ(pf::FileManager::read(s.path + ".corrupt-2"), damaged);
    EXPECT_EQ(pf::FileManager::readText(s.path + ".corrupt-journal"), "stray");

    // A page of the new file damaged since: the next read meets it and mends again.
    auto [lostAgain, damagedAgain] = s.damageLeaf(Damage::WholePage, 1);
    for (auto fid : lostAgain)
        expected.erase(fid);
    Status status = Status::Ok;
    EXPECT_FALSE(s.store->retrieveDataFromTableWithFid(static_cast<int>(lostAgain.front()), &status));
    EXPECT_EQ(status, Status::NotFound);
    EXPECT_EQ(s.listed(), expected);
    EXPECT_EQ(pf::FileManager::read(s.path + ".corrupt-3"), damagedAgain);
}
