// A booked store whose file is damaged keeps every booking that still reads whole: at the first
// use of a launch, and when an operation meets damage later in one.
#include "core/storage/GiftDetailInfoDatabaseManager.h"
#include "platform/foundation/RetryingReadVfs.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Sandbox.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/support/DamagedStore.h"
#include "tests/support/KillAtStep.h"
#include "tests/support/RelatedGifts.h"
#include "tests/support/NoHardLinks.h"
#include "tests/support/SlowDisk.h"
#include "tests/support/UnreadableRange.h"

#include <gtest/gtest.h>

#include <SQLiteCpp/Transaction.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using Status = DataBaseManager::Status;
using namespace testsupport::damagedstore;
using testsupport::UnreadableRange;

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

// The fids the store lists (none when it cannot be read).
std::set<std::int64_t> listedBy(GiftDetailInfoDatabaseManager& store)
{
    std::set<std::int64_t> fids;
    for (const auto& g : store.retrieveDataFromTable().value_or(GiftDetailInfo::List {}))
        fids.insert(g->fid());
    return fids;
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
    std::set<std::int64_t> listed() { return listedBy(*store); }
};

std::set<std::string> storeFolder(const std::string& path)
{
    std::set<std::string> files;
    for (const auto& name : pf::FileManager::contentsOfDirectory(path.substr(0, path.rfind('/'))))
        files.insert(name);
    return files;
}

// What a relaunch lists, after the files of the store's folder have been checked: the live file
// and one copy set aside (with the journal it had, if `journal`), nothing half-made.
void expectOneFileAside(const std::string& path, bool journal = false)
{
    std::set<std::string> expected { "GameDatabase.sqlite", "GameDatabase.sqlite.corrupt" };
    if (journal)
        expected.insert("GameDatabase.sqlite.corrupt-journal");
    EXPECT_EQ(storeFolder(path), expected);
}

// What a transaction killed before it committed leaves: every booking renamed, in more pages
// than the cache holds, so that they reach the file before the commit, and the file and its
// journal as they were at that moment.
void leaveHotJournal(const std::string& path)
{
    {
        SQLite::Database raw(path, SQLite::OPEN_READWRITE);
        raw.exec("PRAGMA cache_size = 2");
        SQLite::Transaction transaction(raw);
        raw.exec("UPDATE GiftDetailInfoTableName SET title = replace(title, '礼包', '预约')");
        ASSERT_TRUE(pf::FileManager::copyItem(path, path + ".killed"));
        ASSERT_TRUE(pf::FileManager::copyItem(path + "-journal", path + ".killed-journal"));
    }
    ASSERT_TRUE(pf::FileManager::replaceItem(path + ".killed", path));
    ASSERT_TRUE(pf::FileManager::replaceItem(path + ".killed-journal", path + "-journal"));
}

// The part of a store a test has the disk refuse: a hot journal it leaves (the whole of it), the
// file's first page, or the leaf in the middle of the table.
enum class RefusedPart { HotJournal, FirstPage, MiddleLeaf };
struct Refused {
    std::string file;
    std::uint64_t offset = 0;
    std::uint64_t length = 4096;
};
Refused refusedPartOf(const std::string& path, RefusedPart part)
{
    Refused refused { path };
    if (part == RefusedPart::HotJournal) {
        leaveHotJournal(path);
        refused.file = path + "-journal";
        refused.length = *pf::FileManager::size(refused.file);
    } else if (part == RefusedPart::MiddleLeaf) {
        const auto leaves = tableLeaves(*pf::FileManager::read(path));
        refused.offset = (leaves.at(leaves.size() / 2).number - 1) * 4096;
    }
    return refused;
}

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


// A page that the disk cannot give back (every read of it fails, as on a bad sector) is damage
// the mend reads past, and it does not keep the damaged file from going aside: that reads none
// of it. One damaged file leaves one file aside, at this launch and the next; where the file
// system has no second names for a file, the damaged one is moved aside instead.
TEST(DamagedGiftStore, AnUnreadablePageLosesOnlyItsBookingsAndTheFileGoesAsideOnce)
{
    for (bool links : { true, false }) {
        SCOPED_TRACE(links ? "with hard links" : "without hard links");
        Store s;
        const auto original = *pf::FileManager::read(s.path);
        auto expected = keysOf(storedRows(s.path));
        const auto leaves = tableLeaves(original);
        const Leaf& leaf = leaves.at(leaves.size() / 2);
        for (auto fid : leaf.rowids)
            expected.erase(fid);
        const size_t pageSize = pageSizeOf(original);
        {
            UnreadableRange unreadable(s.path, (leaf.number - 1) * pageSize, pageSize);
            std::optional<testsupport::NoHardLinks> noLinks;
            if (!links)
                noLinks.emplace();
            for (int launch = 0; launch < 2; ++launch) {
                pf::ResetRegistry::resetAll();
                EXPECT_EQ(s.listed(), expected) << "launch " << launch;
            }
            EXPECT_GT(UnreadableRange::refusals(), 0) << "the case under test: reads of the page failed";
            auto late = booking(5);
            EXPECT_EQ(s.store->insertDataIntoTableWithGiftDetailInfo(late), Status::Ok);
            expected.insert(5);
            EXPECT_EQ(keysOf(storedRows(s.path)), expected);
            expectOneFileAside(s.path);
        }
        EXPECT_EQ(pf::FileManager::read(s.path + ".corrupt"), original) << "the damaged file, as it was";
        EXPECT_EQ(SQLite::Database(s.path).execAndGet("PRAGMA integrity_check").getString(), "ok");
    }
}

// A disk that refuses the file's first page (all of it, only its header or only the rest), or
// every byte of the file, leaves nothing that can be kept, and the store goes on in a new file:
// bookings made then last. The damaged file goes aside without a byte of it being read, once,
// however many launches follow.
TEST(DamagedGiftStore, AFileWhoseFirstPageOrWholeTheDiskRefusesGoesAsideAndTheStoreGoesOn)
{
    struct Case {
        const char* name;
        std::uint64_t offset;
        std::uint64_t length; // 0: to the file's end
        bool links;
    };
    for (const Case& c : { Case { "first page", 0, 4096, true }, Case { "first page, no hard links", 0, 4096, false },
             Case { "header", 0, 100, true }, Case { "first page past the header", 100, 3996, true },
             Case { "whole file", 0, 0, true } }) {
        SCOPED_TRACE(c.name);
        Store s;
        const auto original = *pf::FileManager::read(s.path);
        ASSERT_EQ(pageSizeOf(original), 4096u);
        // The bookings lie on the leaves past the first page: only a file refused whole loses them.
        auto expected = c.length ? keysOf(storedRows(s.path)) : std::set<std::int64_t> {};
        {
            UnreadableRange unreadable(s.path, c.offset, c.length ? c.length : original.size());
            std::optional<testsupport::NoHardLinks> noLinks;
            if (!c.links)
                noLinks.emplace();
            pf::ResetRegistry::resetAll();
            pf::Log::startCapture();
            EXPECT_EQ(s.listed(), expected);
            EXPECT_TRUE(pf::Log::contains("the disk refused a read at every try"));
            EXPECT_TRUE(pf::Log::contains("set aside at " + s.path + ".corrupt; a new file holds the "
                + std::to_string(expected.size()) + " bookings"));
            pf::Log::stopCapture();
            auto late = booking(5);
            EXPECT_EQ(s.store->insertDataIntoTableWithGiftDetailInfo(late), Status::Ok);
            expected.insert(5);
            for (int launch = 1; launch < 3; ++launch) {
                pf::ResetRegistry::resetAll();
                EXPECT_EQ(s.listed(), expected) << "launch " << launch;
            }
            EXPECT_GT(UnreadableRange::refusals(), 0) << "the case under test: reads of the file failed";
            expectOneFileAside(s.path);
        }
        EXPECT_EQ(pf::FileManager::read(s.path + ".corrupt"), original) << "the damaged file, as it was";
    }
}

// A read refused once and given at the disk's next try is no damage, and neither is a lock (see
// the store's tests): the operation goes on and nothing is set aside.
TEST(DamagedGiftStore, AReadTheDiskRefusesOnlyOnceIsTriedAgainAndNothingIsSetAside)
{
    Store s;
    const auto expected = keysOf(storedRows(s.path));
    {
        UnreadableRange unreadable(s.path, 0, 4096, 1);
        pf::ResetRegistry::resetAll();
        EXPECT_EQ(s.listed(), expected);
        EXPECT_EQ(UnreadableRange::refusals(), 1);
    }
    EXPECT_EQ(storeFolder(s.path), std::set<std::string> { "GameDatabase.sqlite" });
}

// A read refused for a moment, or failing for a reason that passes (a network file system's
// time-out, a stale handle, a resource away for now), is no damage, wherever it lies and
// whichever read meets it: the launch's check, an operation later in the launch, or the reading
// of a file that is damaged elsewhere. Nothing is set aside, and once reads pass every booking
// is there.
TEST(DamagedGiftStore, AReadThatFailsOnlyForAWhileCostsNoBooking)
{
    struct Case {
        const char* name;
        bool firstPage; // or a leaf in the middle of the table
        int refusing;
        int error;
        bool afterCheck = false;      // the failure begins after the launch's check
        bool damagedElsewhere = false; // another leaf is overwritten with garbage
    };
    const int every = UnreadableRange::kEveryRead;
    for (const Case& c : { Case { "first page refused three times", true, 3, EIO },
             Case { "a leaf refused three times", false, 3, EIO }, Case { "first page timing out", true, every, ETIMEDOUT },
             Case { "first page gone stale", true, every, ESTALE }, Case { "first page away for now", true, every, EAGAIN },
             Case { "a leaf timing out at the check", false, every, ETIMEDOUT },
             Case { "a leaf timing out after the check", false, every, ETIMEDOUT, true },
             Case { "a leaf timing out in a file damaged elsewhere", false, every, ETIMEDOUT, false, true },
             Case { "a leaf timing out as a file damaged since the check is mended", false, every, ETIMEDOUT, true, true } }) {
        SCOPED_TRACE(c.name);
        Store s;
        auto expected = keysOf(storedRows(s.path));
        pf::ResetRegistry::resetAll();
        if (c.afterCheck) {
            EXPECT_EQ(s.listed(), expected);
        }
        if (c.damagedElsewhere) {
            for (auto fid : s.damageLeaf(Damage::WholePage, 1).first)
                expected.erase(fid);
        }
        const auto bytes = *pf::FileManager::read(s.path);
        const auto leaves = tableLeaves(bytes);
        const size_t pageSize = pageSizeOf(bytes);
        const std::uint64_t offset = c.firstPage ? 0 : (leaves.at(leaves.size() / 2).number - 1) * pageSize;
        {
            UnreadableRange failing(s.path, offset, pageSize, c.refusing, c.error);
            pf::Log::startCapture();
            if (c.refusing == every) {
                EXPECT_FALSE(s.store->retrieveDataFromTable()) << "a failure, told as one";
                if (!c.afterCheck) {
                    auto late = booking(5);
                    EXPECT_EQ(s.store->insertDataIntoTableWithGiftDetailInfo(late), Status::Failed);
                }
            } else {
                EXPECT_EQ(s.listed(), expected);
                EXPECT_EQ(UnreadableRange::refusals(), c.refusing);
            }
            EXPECT_FALSE(pf::Log::contains("set aside"));
            pf::Log::stopCapture();
            EXPECT_GT(UnreadableRange::refusals(), 0) << "the case under test: reads failed";
            EXPECT_EQ(storeFolder(s.path), std::set<std::string> { "GameDatabase.sqlite" });
        }
        // The reads pass again, in this launch and the next.
        EXPECT_EQ(s.listed(), expected);
        pf::ResetRegistry::resetAll();
        EXPECT_EQ(s.listed(), expected);
        if (c.damagedElsewhere)
            expectOneFileAside(s.path);
        else
            EXPECT_EQ(storeFolder(s.path), std::set<std::string> { "GameDatabase.sqlite" });
    }
}

// A transaction killed before it committed leaves a journal that the next launch rolls back.
// When the disk refuses the journal's reads, the file is read as it stands, without its journal,
// and goes aside with it.
TEST(DamagedGiftStore, AHotJournalTheDiskRefusesLeavesWhatTheFileReadsWithoutIt)
{
    Store s;
    const auto expected = keysOf(storedRows(s.path));
    const auto before = *pf::FileManager::read(s.path);
    leaveHotJournal(s.path);
    const auto halfWritten = *pf::FileManager::read(s.path);
    const auto journal = *pf::FileManager::read(s.path + "-journal");
    ASSERT_NE(halfWritten, before) << "the case under test: the file holds pages of the transaction";
    {
        UnreadableRange unreadable(s.path + "-journal", 0, journal.size());
        pf::ResetRegistry::resetAll();
        EXPECT_EQ(s.listed(), expected);
        auto late = booking(5);
        EXPECT_EQ(s.store->insertDataIntoTableWithGiftDetailInfo(late), Status::Ok);
        for (int launch = 1; launch < 3; ++launch) {
            pf::ResetRegistry::resetAll();
            EXPECT_EQ(s.listed().count(5), 1u) << "launch " << launch;
        }
        EXPECT_GT(UnreadableRange::refusals(), 0) << "the case under test: reads of the journal failed";
        expectOneFileAside(s.path, true);
    }
    EXPECT_EQ(pf::FileManager::read(s.path + ".corrupt"), halfWritten);
    EXPECT_EQ(pf::FileManager::read(s.path + ".corrupt-journal"), journal);
    EXPECT_EQ(SQLite::Database(s.path).execAndGet("PRAGMA integrity_check").getString(), "ok");
}

// A launch killed after it gave the damaged file its aside name, before the new file took the
// live name, leaves that second name: the next launch keeps it and makes no third.
TEST(DamagedGiftStore, AnAsideNameLeftByALaunchKilledMidwayIsKeptAndNoOtherMade)
{
    Store s;
    auto expected = keysOf(storedRows(s.path));
    auto [lost, damaged] = s.damageLeaf(Damage::WholePage);
    for (auto fid : lost)
        expected.erase(fid);
    ASSERT_EQ(::link(s.path.c_str(), (s.path + ".corrupt").c_str()), 0);
    pf::ResetRegistry::resetAll();
    EXPECT_EQ(s.listed(), expected);
    expectOneFileAside(s.path);
    EXPECT_EQ(pf::FileManager::read(s.path + ".corrupt"), damaged);
}

// Without hard links the damaged file is moved aside before the new one takes its place: a
// launch killed between the two leaves the new file, finished, under its temporary name, and
// the next launch puts it in place rather than begin an empty store. One still being written
// (its journal beside it) is not taken.
TEST(DamagedGiftStore, ANewFileLeftUnderItsTemporaryNameIsTakenWhenFinished)
{
    Store s;
    const auto expected = keysOf(storedRows(s.path));
    ASSERT_TRUE(pf::FileManager::moveItem(s.path, s.path + ".rebuilt"));
    ASSERT_TRUE(pf::FileManager::writeAtomically(s.path + ".rebuilt-journal", std::string_view("hot")));
    pf::ResetRegistry::resetAll();
    EXPECT_TRUE(s.listed().empty());

    ASSERT_TRUE(pf::FileManager::removeItem(s.path));
    ASSERT_TRUE(pf::FileManager::removeItem(s.path + ".rebuilt-journal"));
    pf::ResetRegistry::resetAll();
    EXPECT_EQ(s.listed(), expected);
    EXPECT_FALSE(pf::FileManager::exists(s.path + ".rebuilt"));
}

// A file cut short keeps the bookings of the pages still in it, though its schema names pages
// past its end.
TEST(DamagedGiftStore, AFileCutShortKeepsTheBookingsOfThePagesStillInIt)
{
    Store s;
    auto bytes = *pf::FileManager::read(s.path);
    const size_t pageSize = pageSizeOf(bytes);
    const size_t pages = bytes.size() / pageSize;
    auto expected = storedRows(s.path);
    for (const auto& leaf : tableLeaves(bytes)) {
        if (leaf.number > pages - 3) {
            for (auto fid : leaf.rowids)
                expected.erase(fid);
        }
    }
    ASSERT_GE(expected.size(), 40u) << "the case under test: most bookings lie before the cut";
    ASSERT_EQ(::truncate(s.path.c_str(), static_cast<off_t>((pages - 3) * pageSize)), 0);

    pf::ResetRegistry::resetAll();
    EXPECT_EQ(s.listed(), keysOf(expected));
    EXPECT_EQ(storedRows(s.path), expected);
    EXPECT_EQ(pf::FileManager::size(s.path + ".corrupt"), (pages - 3) * pageSize);
}

namespace {

// A store of 2000 bookings on pages of 1 KB, two to a leaf, so that its tree is three pages
// deep; the booking of fid `big` (when not 0) has a description of 4 MB. Larger stores are made
// the same way with more bookings, or larger pages.
struct LargeStore {
    pf::TaskEnvironment env;
    std::shared_ptr<GiftDetailInfoDatabaseManager> store = GiftDetailInfoDatabaseManager::sharedInstance();
    std::string path = DataBaseManager::databasePath();

    explicit LargeStore(int big, int bookings = 2000, int pageSize = 1024)
    {
        {
            SQLite::Database raw(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            raw.exec("PRAGMA page_size = " + std::to_string(pageSize));
            raw.exec("VACUUM");
        }
        auto first = booking(1);
        first.setDesc(std::string(300, 'd'));
        EXPECT_EQ(store->insertDataIntoTableWithGiftDetailInfo(first), Status::Ok);
        SQLite::Database raw(path, SQLite::OPEN_READWRITE);
        SQLite::Transaction transaction(raw);
        std::string columns;
        std::string copied;
        for (const char* column : GiftDetailInfo::kTableColumns) {
            if (std::string_view(column) == "fid" || std::string_view(column) == "title")
                continue;
            columns += std::string(", ") + column;
            copied += std::string(", ") + column;
        }
        raw.exec("WITH RECURSIVE n(x) AS (SELECT 2 UNION ALL SELECT x + 1 FROM n WHERE x < " + std::to_string(bookings) + ") "
                 "INSERT INTO GiftDetailInfoTableName (fid, title" + columns + ") SELECT x, '礼包 ' || x" + copied
            + " FROM n, GiftDetailInfoTableName WHERE fid = 1");
        if (big)
            raw.exec("UPDATE GiftDetailInfoTableName SET desc = printf('%.*c', 4194304, 'b') WHERE fid = " + std::to_string(big));
        transaction.commit();
    }
};

}

namespace {

// Damages every other leaf of the bookings' table, whole; gives the fids of the others.
std::set<std::int64_t> damageEveryOtherLeaf(const std::string& path)
{
    auto bytes = *pf::FileManager::read(path);
    std::set<std::int64_t> sound;
    const auto leaves = tableLeaves(bytes);
    for (size_t i = 0; i < leaves.size(); ++i) {
        if (i % 2)
            damage(bytes, leaves[i], Damage::WholePage);
        else
            sound.insert(leaves[i].rowids.begin(), leaves[i].rowids.end());
    }
    EXPECT_TRUE(pf::FileManager::writeAtomically(path, bytes));
    return sound;
}

}

// A tree that leads back to pages already read (every child of one interior page is a second
// one, every child of which is the leaf of a booking with a description of 4 MB) is read once:
// the mend ends soon, keeps every booking the tree still reaches and, since the tree is amiss,
// those of the leaves it no longer reaches, and tells the rows it met again apart from rows that
// are not whole.
TEST(DamagedGiftStore, ATreeThatLeadsBackIsReadOnceAndItsSoundBookingsKept)
{
    for (int big : { 0, 700 }) {
        SCOPED_TRACE(big ? "a booking of 4 MB" : "small bookings");
        LargeStore s(big);
        auto bytes = *pf::FileManager::read(s.path);
        const size_t root = static_cast<size_t>(
            SQLite::Database(s.path).execAndGet("SELECT rootpage FROM sqlite_master WHERE name = 'GiftDetailInfoTableName'").getInt());
        const auto top = childrenOf(bytes, root);
        ASSERT_GE(top.size(), 4u);
        // The second page is the one above the big booking, the first the one before it.
        size_t b = 1;
        for (size_t i = 1; i < top.size(); ++i) {
            auto rowids = rowidsBelow(bytes, top[i].number);
            if (std::find(rowids.begin(), rowids.end(), big) != rowids.end())
                b = i;
        }
        const auto second = childrenOf(bytes, top[b].number);
        ASSERT_FALSE(second.empty()) << "the case under test: a tree three pages deep";
        size_t leaf = second[second.size() / 2].number;
        for (const auto& child : second) {
            auto rowids = rowidsBelow(bytes, child.number);
            if (std::find(rowids.begin(), rowids.end(), big) != rowids.end())
                leaf = child.number;
        }
        std::set<std::int64_t> expected;
        for (auto fid : rowidsBelow(bytes, root))
            expected.insert(fid);
        if (big) {
            ASSERT_EQ(leafRowids(bytes, leaf), std::vector<std::int64_t> { big });
        }
        for (const auto& child : childrenOf(bytes, top[b - 1].number))
            pointAt(bytes, child, top[b].number);
        for (const auto& child : second)
            pointAt(bytes, child, leaf);
        ASSERT_TRUE(pf::FileManager::writeAtomically(s.path, bytes));

        pf::ResetRegistry::resetAll();
        pf::Log::startCapture();
        EXPECT_EQ(listedBy(*s.store), expected);
        EXPECT_TRUE(pf::Log::contains("a new file holds the " + std::to_string(expected.size()) + " bookings"));
        EXPECT_TRUE(pf::Log::contains("pages of GiftDetailInfoTableName reached again where the file's tree leads back: "));
        EXPECT_FALSE(pf::Log::contains("not whole"));
        EXPECT_FALSE(pf::Log::contains("stopped at its bounds"));
        pf::Log::stopCapture();
    }
}

// A disk that refuses a hundred pages of the file for good: each such page's read is made again
// a few times once for each opening of the file, not at every read of it, the mend ends within
// its bounds, and every booking of the other pages is kept.
TEST(DamagedGiftStore, AHundredPagesRefusedForGoodCostOnlyTheirBookings)
{
    LargeStore s(0);
    const auto bytes = *pf::FileManager::read(s.path);
    const size_t pageSize = pageSizeOf(bytes);
    std::set<size_t> leafPages;
    std::set<std::int64_t> expected;
    for (const auto& leaf : tableLeaves(bytes)) {
        leafPages.insert(leaf.number);
        expected.insert(leaf.rowids.begin(), leaf.rowids.end());
    }
    // A hundred pages in a row, every one a leaf of the table.
    size_t first = 2;
    size_t run = 0;
    while (run < 100 && first + run <= bytes.size() / pageSize) {
        if (leafPages.count(first + run))
            ++run;
        else
            first += run + 1, run = 0;
    }
    ASSERT_EQ(run, 100u) << "the case under test: a hundred leaves in a row";
    for (size_t page = first; page < first + 100; ++page) {
        for (auto fid : leafRowids(bytes, page))
            expected.erase(fid);
    }

    const auto refusedBefore = pf::RetryingReadVfs::failures().refused;
    {
        UnreadableRange refused(s.path, (first - 1) * pageSize, 100 * pageSize);
        pf::ResetRegistry::resetAll();
        pf::Log::startCapture();
        EXPECT_EQ(listedBy(*s.store), expected);
        EXPECT_TRUE(pf::Log::contains("a new file holds the " + std::to_string(expected.size()) + " bookings"));
        EXPECT_FALSE(pf::Log::contains("stopped at its bounds"));
        pf::Log::stopCapture();
        // The launch's check opens the damaged file, and again after each of its four waits
        // (each time stopping at the first page refused), and the mend opens it once and may
        // meet every page refused.
        const auto refusedForGood = static_cast<int>(pf::RetryingReadVfs::failures().refused - refusedBefore);
        EXPECT_GT(refusedForGood, 10) << "the case under test: many reads were refused";
        EXPECT_LE(UnreadableRange::refusals() - refusedForGood, (5 + 100) * pf::RetryingReadVfs::kRetriesPerRead);
    }
    expectOneFileAside(s.path);
}

// A link at the first aside name, to the store itself or to nothing, is a name taken: it is
// neither followed nor replaced, the damaged file goes aside under the next name byte for byte,
// with or without hard links, and the store goes on.
TEST(DamagedGiftStore, ALinkAtTheAsideNameNeitherTakesTheDamagedFilesPlaceNorBlocksTheStore)
{
    for (bool dangling : { false, true }) {
        for (bool links : { true, false }) {
            SCOPED_TRACE(std::string(dangling ? "a link to nothing" : "a link to the store") + (links ? "" : ", no hard links"));
            Store s;
            const auto sound = keysOf(storedRows(s.path));
            auto damaged = *pf::FileManager::read(s.path);
            for (size_t i = 0; i < 100; ++i)
                damaged[i] = static_cast<std::uint8_t>(i * 37 + 1);
            ASSERT_TRUE(pf::FileManager::writeAtomically(s.path, damaged));
            const std::string target = dangling ? s.path + ".gone" : s.path;
            ASSERT_EQ(::symlink(target.c_str(), (s.path + ".corrupt").c_str()), 0);
            {
                std::optional<testsupport::NoHardLinks> noLinks;
                if (!links)
                    noLinks.emplace();
                pf::ResetRegistry::resetAll();
                pf::Log::startCapture();
                // The header overwritten: the bookings on the leaves past it are kept.
                EXPECT_EQ(s.listed(), sound);
                EXPECT_TRUE(pf::Log::contains("set aside at " + s.path + ".corrupt-2; a new file holds the "
                    + std::to_string(sound.size()) + " bookings"));
                pf::Log::stopCapture();
                auto late = booking(5);
                EXPECT_EQ(s.store->insertDataIntoTableWithGiftDetailInfo(late), Status::Ok);
            }
            pf::ResetRegistry::resetAll();
            auto withLate = sound;
            withLate.insert(5);
            EXPECT_EQ(s.listed(), withLate);
            EXPECT_EQ(pf::FileManager::read(s.path + ".corrupt-2"), damaged) << "the damaged file, as it was";
            char buffer[4096];
            const ssize_t n = ::readlink((s.path + ".corrupt").c_str(), buffer, sizeof buffer);
            EXPECT_EQ(std::string(buffer, static_cast<size_t>(std::max<ssize_t>(n, 0))), target) << "the link, as it was";
            EXPECT_EQ(storeFolder(s.path),
                (std::set<std::string> { "GameDatabase.sqlite", "GameDatabase.sqlite.corrupt", "GameDatabase.sqlite.corrupt-2" }));
        }
    }
}

// A flaky disk that refuses each block once or twice and then gives it: every read passes
// within its retries, so nothing is lost and nothing set aside, however many blocks it meets. A
// read that timed out has already waited its time: it fails the operation at once, without
// being made again back to back.
TEST(DamagedGiftStore, AFlakyDiskWhoseReadsPassOnARetryCostsNothing)
{
    for (int refusing : { 1, 2 }) {
        SCOPED_TRACE(std::to_string(refusing) + " refusals of every block");
        Store s;
        auto expected = keysOf(storedRows(s.path));
        const auto size = *pf::FileManager::size(s.path);
        {
            UnreadableRange flaky(s.path, 0, size, refusing, EIO, UnreadableRange::Counted::AtEachOffset);
            for (int launch = 0; launch < 2; ++launch) {
                pf::ResetRegistry::resetAll();
                pf::Log::startCapture();
                EXPECT_EQ(s.listed(), expected) << "launch " << launch;
                auto late = booking(5 + launch);
                EXPECT_EQ(s.store->insertDataIntoTableWithGiftDetailInfo(late), Status::Ok);
                expected.insert(5 + launch);
                EXPECT_FALSE(pf::Log::contains("set aside"));
                pf::Log::stopCapture();
            }
            EXPECT_GT(UnreadableRange::refusals(), static_cast<int>(size / 4096) * refusing)
                << "the case under test: every block was refused";
        }
        EXPECT_EQ(storeFolder(s.path), std::set<std::string> { "GameDatabase.sqlite" });
        EXPECT_EQ(s.listed(), expected);
    }
    {
        SCOPED_TRACE("the first page timing out");
        Store s;
        const auto before = pf::RetryingReadVfs::failures().other;
        UnreadableRange timingOut(s.path, 0, 4096, UnreadableRange::kEveryRead, ETIMEDOUT);
        pf::ResetRegistry::resetAll();
        EXPECT_FALSE(s.store->retrieveDataFromTable());
        EXPECT_GT(UnreadableRange::refusals(), 0);
        EXPECT_EQ(static_cast<std::uint64_t>(UnreadableRange::refusals()), pf::RetryingReadVfs::failures().other - before)
            << "each read that timed out was made once";
    }
}

// A refusal that lasts a moment (a disk reset: here 0.8 s of the process clock) is waited out
// before it is taken for damage: on the file's first page, on a leaf that a later operation
// meets, or on a hot journal, which is then rolled back rather than bypassed. One that lasts is
// mended as before, after a wait of about two seconds made once, not for each page. On the
// real clock a refusal far shorter than the waits passes the same way.
TEST(DamagedGiftStore, ARefusalThatLastsAMomentIsWaitedOutAndOneThatLastsIsMendedAfterOneWait)
{
    struct Case {
        const char* name;
        bool firstPage;  // or a leaf in the middle of the table
        bool afterCheck; // the refusal begins after the launch's check
        bool journal;    // the refusal is of a hot journal's every byte
    };
    for (const Case& c : { Case { "first page", true, false, false }, Case { "a leaf, after the check", false, true, false },
             Case { "a hot journal", false, false, true } }) {
        SCOPED_TRACE(c.name);
        Store s;
        const auto expected = storedRows(s.path);
        const auto [refusedFile, offset, length] = refusedPartOf(s.path,
            c.journal ? RefusedPart::HotJournal : c.firstPage ? RefusedPart::FirstPage : RefusedPart::MiddleLeaf);
        pf::ResetRegistry::resetAll();
        if (c.afterCheck) {
            EXPECT_EQ(s.listed(), keysOf(expected));
        }
        {
            UnreadableRange moment(refusedFile, offset, length, UnreadableRange::ForWaits { 0.8 });
            pf::Log::startCapture();
            EXPECT_EQ(s.listed(), keysOf(expected));
            EXPECT_FALSE(pf::Log::contains("set aside"));
            pf::Log::stopCapture();
            EXPECT_GT(UnreadableRange::refusals(), 0) << "the case under test: reads were refused";
            EXPECT_GE(UnreadableRange::waited(), 0.8) << "the store waited the refusal out";
        }
        EXPECT_EQ(storedRows(s.path), expected) << "every booking as it was, the killed transaction rolled back";
        EXPECT_EQ(storeFolder(s.path), std::set<std::string> { "GameDatabase.sqlite" });
    }
    {
        SCOPED_TRACE("a leaf refused for good");
        Store s;
        auto expected = keysOf(storedRows(s.path));
        const auto bytes = *pf::FileManager::read(s.path);
        const auto leaves = tableLeaves(bytes);
        for (auto fid : leaves.at(leaves.size() / 2).rowids)
            expected.erase(fid);
        const double start = s.env.clock().monotonicNow();
        double waited = 0;
        {
            UnreadableRange refused(s.path, (leaves.at(leaves.size() / 2).number - 1) * 4096, 4096);
            pf::ResetRegistry::resetAll();
            EXPECT_EQ(s.listed(), expected);
            waited = UnreadableRange::waited();
        }
        EXPECT_GE(waited, 1.0);
        EXPECT_LE(waited, 2.5) << "one wait on the way to the mend, none for the pages it reads";
        EXPECT_EQ(s.env.clock().monotonicNow(), start) << "a wait for the disk does not move the app's clock";
        expectOneFileAside(s.path);
    }
    {
        // Slept for real: the refusal has passed by the first wait's end, however slow the machine.
        SCOPED_TRACE("the first page refused for 50 ms of real time");
        Store s;
        const auto expected = keysOf(storedRows(s.path));
        {
            UnreadableRange moment(s.path, 0, 4096, UnreadableRange::ForRealTime { 0.05 });
            pf::ResetRegistry::resetAll();
            EXPECT_EQ(s.listed(), expected);
            EXPECT_GT(UnreadableRange::refusals(), 0) << "the case under test: reads were refused";
        }
        EXPECT_EQ(storeFolder(s.path), std::set<std::string> { "GameDatabase.sqlite" });
    }
}

// A large store with every other leaf damaged: the mend's bounds grow with the file, so that
// every booking of the sound leaves is kept, however many ranges it steps over. The bookings'
// fids lie far apart, so that stepping over each damaged leaf takes some forty reads.
TEST(DamagedGiftStore, ALargeStoreWithEveryOtherLeafDamagedKeepsEveryBookingOfTheSoundOnes)
{
    LargeStore s(0);
    {
        SQLite::Database raw(s.path, SQLite::OPEN_READWRITE);
        raw.exec("DELETE FROM GiftDetailInfoTableName WHERE fid > 1200");
        raw.exec("UPDATE GiftDetailInfoTableName SET fid = fid * 524288");
        raw.exec("VACUUM");
    }
    const auto expected = damageEveryOtherLeaf(s.path);
    ASSERT_GE(expected.size(), 500u) << "the case under test: hundreds of sound leaves between damaged ones";

    pf::ResetRegistry::resetAll();
    pf::Log::startCapture();
    EXPECT_EQ(listedBy(*s.store), expected);
    EXPECT_TRUE(pf::Log::contains("a new file holds the " + std::to_string(expected.size()) + " bookings"));
    EXPECT_FALSE(pf::Log::contains("stopped at its bounds"));
    pf::Log::stopCapture();
}

// A few pages the disk never gives back, on a disk that refuses every other block too, a few
// times and then gives it (a failing disk: some sectors gone, the rest marginal): the pages gone
// cost only their bookings. Each block that reads within its own retries is read, whatever the
// pages gone cost, and the retries spent stay bounded: a few for each page gone, once for each
// opening of the file.
TEST(DamagedGiftStore, AFewPagesGoneForGoodOnAFlakyDiskCostOnlyTheirBookings)
{
    struct Case {
        const char* name;
        bool large;   // two thousand bookings on pages of 1 KB, or sixty on pages of 4 KB
        size_t every; // every n-th leaf is gone; or, when 0, two leaves
        int refusing; // the other blocks are refused this many times each, then read
    };
    for (const Case& c : { Case { "two leaves of sixty bookings, the rest refused once", false, 0, 1 },
             Case { "two leaves of sixty bookings, the rest refused three times", false, 0, 3 },
             Case { "every tenth leaf of two thousand bookings, the rest refused once", true, 10, 1 } }) {
        SCOPED_TRACE(c.name);
        std::optional<Store> small;
        std::optional<LargeStore> large;
        if (c.large)
            large.emplace(0);
        else
            small.emplace();
        const std::string path = c.large ? large->path : small->path;
        GiftDetailInfoDatabaseManager& store = c.large ? *large->store : *small->store;
        const auto bytes = *pf::FileManager::read(path);
        const size_t pageSize = pageSizeOf(bytes);
        const auto leaves = tableLeaves(bytes);
        std::vector<size_t> gone;
        if (c.every)
            for (size_t i = c.every / 2; i < leaves.size(); i += c.every)
                gone.push_back(i);
        else
            gone = { leaves.size() / 3, 2 * leaves.size() / 3 };
        auto expected = keysOf(storedRows(path));
        std::vector<std::unique_ptr<UnreadableRange>> disk;
        for (size_t i : gone) {
            for (auto fid : leaves[i].rowids)
                expected.erase(fid);
            disk.push_back(std::make_unique<UnreadableRange>(path, (leaves[i].number - 1) * pageSize, pageSize));
        }
        disk.push_back(std::make_unique<UnreadableRange>(path, 0, bytes.size(), c.refusing, EIO, UnreadableRange::Counted::AtEachOffset));
        const auto refusedBefore = pf::RetryingReadVfs::failures().refused;

        pf::ResetRegistry::resetAll();
        pf::Log::startCapture();
        EXPECT_EQ(listedBy(store), expected);
        EXPECT_TRUE(pf::Log::contains("a new file holds the " + std::to_string(expected.size()) + " bookings"));
        EXPECT_FALSE(pf::Log::contains("stopped at its bounds"));
        pf::Log::stopCapture();
        const auto refusedForGood = static_cast<int>(pf::RetryingReadVfs::failures().refused - refusedBefore);
        const int blocks = static_cast<int>(bytes.size() / pageSize);
        // The check opens the file five times (once, then after each of its four waits), the
        // mend once.
        EXPECT_LE(UnreadableRange::refusals() - refusedForGood,
            blocks * c.refusing + 6 * static_cast<int>(gone.size()) * pf::RetryingReadVfs::kRetriesPerRead);
        disk.clear();
        expectOneFileAside(path);
    }
}

// A large store mended on a slow disk (each page read moves the clock on as the disk takes its
// time): the time the mend may take grows with the file, so that every booking of the sound
// leaves is kept; a file of the same bookings on a far slower disk is still cut short, keeping
// what was read by then.
TEST(DamagedGiftStore, ALargeStoreOnASlowDiskIsMendedWholeWithinATimeThatGrowsWithIt)
{
    // The slow disk gives a page in 1.6 ms (2.5 MB/s, a worn memory card), the far slower one in
    // 20 ms.
    for (double secondsPerRead : { 0.0016, 0.02 }) {
        const bool slowest = secondsPerRead > 0.01;
        SCOPED_TRACE(slowest ? "a far slower disk" : "a slow disk");
        LargeStore s(0, 20000, 4096);
        const auto expected = damageEveryOtherLeaf(s.path);
        const double megabytes = static_cast<double>(*pf::FileManager::size(s.path)) / (1 << 20);
        ASSERT_GT(megabytes, 8) << "the case under test: a store of several megabytes";

        testsupport::SlowDisk slow(s.path, [&s, secondsPerRead] { s.env.clock().advance(secondsPerRead); });
        const double start = s.env.clock().monotonicNow();
        pf::ResetRegistry::resetAll();
        pf::Log::startCapture();
        const auto listed = listedBy(*s.store);
        const bool cut = pf::Log::contains("stopped at its bounds");
        pf::Log::stopCapture();
        const double took = s.env.clock().monotonicNow() - start;
        if (slowest) {
            EXPECT_TRUE(cut);
            EXPECT_LT(took, 20) << "the mend ends within its bound";
            EXPECT_LT(listed.size(), expected.size());
            EXPECT_TRUE(std::includes(expected.begin(), expected.end(), listed.begin(), listed.end()));
        } else {
            EXPECT_GT(took, 3) << "the case under test: longer than a small store's mend may take";
            EXPECT_FALSE(cut);
            EXPECT_EQ(listed, expected);
        }
    }
}

// Whatever lies at the mend's working name and is not a file the mend left there (a folder and
// what it holds, a link, a file of another user) is left as it is; the mend works under a free
// name. A launch never takes such a file for a mended one to put in the store's place.
TEST(DamagedGiftStore, WhatLiesAtTheMendsWorkingNameIsLeftAsItIs)
{
    enum class Thing { Folder, Link, OthersFile };
    for (Thing thing : { Thing::Folder, Thing::Link, Thing::OthersFile }) {
        SCOPED_TRACE(thing == Thing::Folder ? "a folder" : thing == Thing::Link ? "a link" : "another user's file");
        Store s;
        const std::string working = s.path + ".rebuilt";
        const auto sound = *pf::FileManager::read(s.path);
        switch (thing) {
        case Thing::Folder:
            ASSERT_TRUE(pf::FileManager::createDirectory(working, false));
            ASSERT_TRUE(pf::FileManager::writeAtomically(working + "/kept.txt", std::string_view("kept")));
            break;
        case Thing::Link:
            ASSERT_TRUE(pf::FileManager::writeAtomically(s.path + ".elsewhere", std::string_view("kept")));
            ASSERT_EQ(::symlink((s.path + ".elsewhere").c_str(), working.c_str()), 0);
            break;
        case Thing::OthersFile:
            ASSERT_TRUE(pf::FileManager::writeAtomically(working, sound));
            ASSERT_EQ(::chown(working.c_str(), 65534, 65534), 0);
            break;
        }
        auto expected = keysOf(storedRows(s.path));
        auto [lost, damaged] = s.damageLeaf(Damage::WholePage);
        for (auto fid : lost)
            expected.erase(fid);
        pf::ResetRegistry::resetAll();
        pf::Log::startCapture();
        EXPECT_EQ(s.listed(), expected);
        EXPECT_TRUE(pf::Log::contains("set aside at " + s.path + ".corrupt; a new file holds the " + std::to_string(expected.size())));
        pf::Log::stopCapture();
        EXPECT_EQ(pf::FileManager::read(s.path + ".corrupt"), damaged);
        struct stat info {};
        ASSERT_EQ(::lstat(working.c_str(), &info), 0) << "what lay at the working name is there";
        switch (thing) {
        case Thing::Folder:
            EXPECT_TRUE(S_ISDIR(info.st_mode));
            EXPECT_EQ(pf::FileManager::readText(working + "/kept.txt"), "kept");
            break;
        case Thing::Link:
            EXPECT_TRUE(S_ISLNK(info.st_mode));
            EXPECT_EQ(pf::FileManager::readText(s.path + ".elsewhere"), "kept");
            break;
        case Thing::OthersFile:
            EXPECT_EQ(info.st_uid, 65534u);
            EXPECT_EQ(pf::FileManager::read(working), sound);
            break;
        }
        for (const auto& name : storeFolder(s.path))
            EXPECT_TRUE(name.find(".rebuilt-") == std::string::npos) << name << " left behind";

        // With the store gone, another user's sound store at the working name is not taken for
        // a mended file: the store starts empty.
        if (thing == Thing::OthersFile) {
            ASSERT_TRUE(pf::FileManager::removeItem(s.path));
            pf::ResetRegistry::resetAll();
            EXPECT_TRUE(s.listed().empty());
            EXPECT_EQ(pf::FileManager::read(working), sound);
        }
    }
}

namespace {

std::map<std::string, pf::Bytes> filesIn(const std::string& folder)
{
    std::map<std::string, pf::Bytes> files;
    for (const auto& name : pf::FileManager::contentsOfDirectory(folder)) {
        if (!pf::FileManager::isDirectory(pf::FileManager::join(folder, name)))
            files[name] = *pf::FileManager::read(pf::FileManager::join(folder, name));
    }
    return files;
}

// Puts the folder back as it was: the files given, a folder named `.rebuilt` (holding a file)
// where `folderAtWorkingName` says so, and nothing else.
void restoreFolder(const std::string& folder, const std::map<std::string, pf::Bytes>& files, bool folderAtWorkingName)
{
    for (const auto& name : pf::FileManager::contentsOfDirectory(folder))
        ASSERT_TRUE(pf::FileManager::removeItem(pf::FileManager::join(folder, name)));
    for (const auto& [name, bytes] : files)
        ASSERT_TRUE(pf::FileManager::writeAtomically(pf::FileManager::join(folder, name), bytes));
    if (folderAtWorkingName) {
        ASSERT_TRUE(pf::FileManager::createDirectory(pf::FileManager::join(folder, "GameDatabase.sqlite.rebuilt"), false));
        ASSERT_TRUE(pf::FileManager::writeAtomically(pf::FileManager::join(folder, "GameDatabase.sqlite.rebuilt/kept.txt"),
            std::string_view("kept")));
    }
}

// The steps of a mend at which a kill leaves another state of its files: what it names and makes.
// (A kill among the writes of the new file leaves it unfinished, as one at its making does.)
const char* const kMendSteps = "rename,link,unlink,create";

ino_t inodeOf(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

}

namespace {

struct KilledMend {
    const char* name;
    bool journal;             // a hot journal the disk refuses, or a leaf refused for good
    bool links;               // the file system gives second names to files
    bool folderAtWorkingName; // a folder lies at the mend's first working name
    std::vector<int> olderCopies {}; // aside numbers at which copies of earlier mends lie
};

// A mend killed at any step of it (a power cut): the next launch, with the disk reading again,
// finishes the mend or finds the store as it was, before it reads or writes the store. The
// file aside is then the damaged file byte for byte (with its journal beside it), never the
// store itself, and a booking made after that launch lands in the store and lasts. Copies that
// earlier mends set aside stay as they were, and no journal is put beside them.
void expectEveryKilledMendFinishedOrUndone(std::initializer_list<KilledMend> cases)
{
    for (const KilledMend& c : cases) {
        SCOPED_TRACE(c.name);
        Store s;
        const std::string folder = s.path.substr(0, s.path.rfind('/'));
        const auto sound = storedRows(s.path);
        const auto [refusedFile, offset, length] = refusedPartOf(s.path, c.journal ? RefusedPart::HotJournal : RefusedPart::MiddleLeaf);
        // Each older copy: a store of its own, which a journal put beside it would be rolled into.
        std::set<std::string> olderCopies;
        for (int n : c.olderCopies) {
            const std::string copy = pf::FileManager::asidePath(s.path, n);
            SQLite::Database older(copy, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            older.exec("CREATE TABLE kept (n INTEGER)");
            olderCopies.insert(copy.substr(folder.size() + 1));
        }
        int free = 1;
        while (std::count(c.olderCopies.begin(), c.olderCopies.end(), free))
            ++free;
        const std::string aside = pf::FileManager::asidePath(s.path, free);
        const auto pristine = filesIn(folder);
        const std::string home = s.env.sandbox().homePath();
        std::vector<std::string> args { MENDING_CHILD, home, refusedFile, std::to_string(offset), std::to_string(length) };
        if (!c.links)
            args.push_back("--no-hard-links");

        // A whole mend, to list its steps and to see what a finished one leaves.
        restoreFolder(folder, pristine, c.folderAtWorkingName);
        const std::string log = home + "/tmp/steps.log";
        auto whole = testsupport::runChildProcess(args, testsupport::killAtStepEnvironment({ folder, kMendSteps, "", 0, false, log }));
        ASSERT_EQ(whole.status, 0) << whole.errorOutput;
        const auto steps = testsupport::readKilledSteps(log);
        ASSERT_TRUE(pf::FileManager::exists(aside)) << "the case under test: the child mends the store";
        pf::ResetRegistry::resetAll();
        s.listed();
        const auto mended = storedRows(s.path);
        ASSERT_LT(mended.size(), sound.size() + (c.journal ? 1 : 0));
        ASSERT_GT(steps.size(), 3u);

        int finished = 0;
        for (const auto& step : steps) {
            SCOPED_TRACE("killed before step " + std::to_string(step.number) + ": " + step.kind + " " + step.path
                + (step.second.empty() ? "" : " -> " + step.second));
            restoreFolder(folder, pristine, c.folderAtWorkingName);
            auto killed = testsupport::runChildProcess(args, testsupport::killAtStepEnvironment({ folder, kMendSteps, "", step.number }));
            ASSERT_TRUE(testsupport::wasKilled(killed)) << killed.errorOutput;

            pf::ResetRegistry::resetAll(); // the next launch, the disk reading again
            const auto listed = s.listed();
            const bool setAside = pf::FileManager::exists(aside);
            finished += setAside;
            if (setAside) {
                EXPECT_EQ(storedRows(s.path), mended) << "the mend, finished";
                EXPECT_NE(inodeOf(aside), inodeOf(s.path)) << "the file aside is not the store";
            } else {
                EXPECT_EQ(storedRows(s.path), sound) << "the store as it was, its journal rolled back";
            }
            auto late = booking(5);
            EXPECT_EQ(s.store->insertDataIntoTableWithGiftDetailInfo(late), Status::Ok);
            pf::ResetRegistry::resetAll();
            EXPECT_EQ(s.listed().count(5), 1u) << "the booking lasts";
            if (setAside) {
                EXPECT_EQ(pf::FileManager::read(aside), pristine.at("GameDatabase.sqlite")) << "the damaged file, byte for byte";
                if (c.journal) {
                    EXPECT_EQ(pf::FileManager::read(aside + "-journal"), pristine.at("GameDatabase.sqlite-journal"))
                        << "its journal beside it";
                }
            }
            for (const auto& copy : olderCopies) {
                EXPECT_EQ(pf::FileManager::read(pf::FileManager::join(folder, copy)), pristine.at(copy)) << copy << " as it was";
            }
            std::set<std::string> left { "GameDatabase.sqlite" };
            left.insert(olderCopies.begin(), olderCopies.end());
            const std::string asideName = aside.substr(folder.size() + 1);
            if (setAside)
                left.insert(asideName);
            if (setAside && c.journal)
                left.insert(asideName + "-journal");
            if (c.folderAtWorkingName)
                left.insert("GameDatabase.sqlite.rebuilt");
            EXPECT_EQ(storeFolder(s.path), left) << "nothing half-made left beside the store";
            if (c.folderAtWorkingName) {
                EXPECT_EQ(pf::FileManager::readText(s.path + ".rebuilt/kept.txt"), "kept");
            }
            EXPECT_EQ(SQLite::Database(s.path).execAndGet("PRAGMA integrity_check").getString(), "ok");
        }
        EXPECT_GT(finished, 0) << "the case under test: some kills came after the damaged file had its aside name";
    }
}

}

TEST(DamagedGiftStore, AMendKilledAtAnyStepIsFinishedOrUndoneByTheNextLaunch)
{
    expectEveryKilledMendFinishedOrUndone({ { "a refused leaf", false, true, false }, { "a refused hot journal", true, true, false },
        { "a refused leaf, a folder at the working name", false, true, true } });
}

TEST(DamagedGiftStore, AMendKilledAtAnyStepWithoutHardLinksIsFinishedOrUndoneByTheNextLaunch)
{
    expectEveryKilledMendFinishedOrUndone({ { "a refused leaf", false, false, false }, { "a refused hot journal", true, false, false },
        { "a refused hot journal, an older copy at the second aside name", true, false, false, { 2 } },
        { "a refused hot journal, older copies at the first and third aside names", true, false, false, { 1, 3 } } });
}
