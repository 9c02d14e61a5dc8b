// A damaged booked store is mended from its pages as they read: every booking on a table leaf
// that reads whole is kept, wherever the damage lies and however the fids are spread, and no
// booking deleted before the damage comes back.
#include "core/storage/GiftDetailInfoDatabaseManager.h"
#include "core/storage/PageReader.h"
#include "core/storage/PageSource.h"
#include "core/storage/SalvageWalk.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Sandbox.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/support/BookingsFile.h"
#include "tests/support/DamagedStore.h"
#include "tests/support/PipedChild.h"
#include "tests/support/SlowDisk.h"
#include "tests/support/UnreadableRange.h"

#include <gtest/gtest.h>

#include <SQLiteCpp/Transaction.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport::damagedstore;
using namespace testsupport::bookingsfile;
using testsupport::UnreadableRange;

// Leaves damaged in many places among 4,000 bookings (800 leaves), overwritten or refused by the
// disk: every booking of every other leaf is kept.
TEST(PageMend, DamageInManyPlacesCostsOnlyTheBookingsOfTheDamagedLeaves)
{
    enum class How { Overwritten, Refused };
    struct Case {
        const char* name;
        bool spread;
        How how;
        std::function<bool(size_t leaf)> damaged;
    };
    std::mt19937 random(30);
    std::vector<bool> thirty(800);
    for (size_t i = 0; i < thirty.size(); ++i)
        thirty[i] = random() % 10 < 3;
    for (const Case& c : {
             Case { "the first leaf", false, How::Overwritten, [](size_t i) { return i == 0; } },
             Case { "every other leaf from the first", false, How::Overwritten, [](size_t i) { return i % 2 == 0; } },
             Case { "every other leaf from the first, refused", false, How::Refused, [](size_t i) { return i % 2 == 0; } },
             Case { "a random 30%", false, How::Overwritten, [&](size_t i) { return i < thirty.size() && thirty[i]; } },
             Case { "runs of three bad, two good", false, How::Overwritten, [](size_t i) { return i % 5 < 3; } },
             Case { "fids spread apart, every other leaf from the second", true, How::Overwritten,
                 [](size_t i) { return i % 2 == 1; } } }) {
        SCOPED_TRACE(c.name);
        Bookings s(c.spread ? spreadFids(4000) : consecutiveFids(4000, 3000));
        auto bytes = *pf::FileManager::read(s.path);
        const auto leaves = tableLeaves(bytes);
        ASSERT_GE(leaves.size(), 700u) << "the case under test: five bookings to a leaf";
        std::vector<Leaf> sound;
        std::vector<size_t> refused;
        for (size_t i = 0; i < leaves.size(); ++i) {
            if (!c.damaged(i))
                sound.push_back(leaves[i]);
            else if (c.how == How::Overwritten)
                damage(bytes, leaves[i], Damage::WholePage);
            else
                refused.push_back(leaves[i].number);
        }
        ASSERT_TRUE(pf::FileManager::writeAtomically(s.path, bytes));
        std::vector<std::unique_ptr<UnreadableRange>> disk;
        for (size_t page : refused)
            disk.push_back(std::make_unique<UnreadableRange>(s.path, (page - 1) * 4096, 4096));
        expectMendedTo(s, fidsOf(sound));
    }
}

// A bad page above the leaves (one of the interior pages under the root, the root itself) or the
// file's first page (its header and the schema) costs no booking: every leaf still reads.
TEST(PageMend, DamageAboveTheLeavesCostsNoBookingOfALeafThatReads)
{
    enum class Where { Interior, Root, FirstPage };
    for (Where where : { Where::Interior, Where::Root, Where::FirstPage }) {
        SCOPED_TRACE(where == Where::Interior ? "an interior page" : where == Where::Root ? "the root" : "the first page");
        Bookings s(consecutiveFids(4000, 3000));
        const auto expected = fidsOf(tableLeaves(*pf::FileManager::read(s.path)));
        auto bytes = *pf::FileManager::read(s.path);
        const auto top = childrenOf(bytes, s.root());
        ASSERT_GE(top.size(), 2u) << "the case under test: a tree with interior pages under its root";
        std::optional<UnreadableRange> firstPage;
        if (where == Where::Interior)
            overwrite(bytes, top.front().number);
        else if (where == Where::Root)
            overwrite(bytes, s.root());
        ASSERT_TRUE(pf::FileManager::writeAtomically(s.path, bytes));
        if (where == Where::FirstPage)
            firstPage.emplace(s.path, 0, 4096);
        expectMendedTo(s, expected);
    }
}

// A booking larger than a page, whose overflow chain has one page the disk refuses: only that
// booking is lost.
TEST(PageMend, ABookingWhoseOverflowPageDoesNotReadIsTheOnlyOneLost)
{
    Bookings s(consecutiveFids(200, 3000));
    {
        SQLite::Database raw(s.path, SQLite::OPEN_READWRITE);
        raw.exec("UPDATE GiftDetailInfoTableName SET desc = printf('%.*c', 20000, 'b') WHERE fid = 3100");
    }
    const auto before = fidsOf(tableLeaves(*pf::FileManager::read(s.path)));
    ASSERT_EQ(before.size(), 200u);
    // The overflow pages: neither b-tree pages nor free, they hold runs of 'b'.
    const auto bytes = *pf::FileManager::read(s.path);
    std::vector<size_t> overflow;
    for (size_t page = 2; page * 4096 <= bytes.size(); ++page) {
        if (bytes[(page - 1) * 4096 + 100] == 'b' && bytes[(page - 1) * 4096 + 4000] == 'b')
            overflow.push_back(page);
    }
    ASSERT_GE(overflow.size(), 3u) << "the case under test: a chain of overflow pages";
    auto expected = before;
    expected.erase(3100);
    UnreadableRange refused(s.path, (overflow[overflow.size() / 2] - 1) * 4096, 4096);
    expectMendedTo(s, expected);
}

// Bookings deleted with secure delete off leave their bytes in the file: on the free list's pages
// and in their leaves' free space. None comes back, whatever else is damaged: an interior page
// (the leaves below it are found by reading every page), the first page (the free list is then
// known only by its trunk pages' look), or an interior page and the free list's trunk (no leaf
// off the tree can then be told from a free one: none is taken).
TEST(PageMend, DeletedBookingsNeverComeBack)
{
    enum class Where { Interior, FirstPage, InteriorAndTrunk };
    for (Where where : { Where::Interior, Where::FirstPage, Where::InteriorAndTrunk }) {
        SCOPED_TRACE(where == Where::Interior ? "an interior page" : where == Where::FirstPage ? "the first page" : "an interior page and the trunk");
        Bookings s(consecutiveFids(4000, 3000));
        std::set<std::int64_t> deleted;
        {
            SQLite::Database raw(s.path, SQLite::OPEN_READWRITE);
            raw.exec("PRAGMA secure_delete = OFF");
            raw.exec("DELETE FROM GiftDetailInfoTableName WHERE (fid BETWEEN 4000 AND 4400) OR fid % 7 = 0");
            for (std::int64_t fid = 3000; fid < 7000; ++fid) {
                if ((fid >= 4000 && fid <= 4400) || fid % 7 == 0)
                    deleted.insert(fid);
            }
        }
        auto bytes = *pf::FileManager::read(s.path);
        std::set<std::int64_t> live;
        for (const auto& row : storedRows(s.path))
            live.insert(row.first);
        std::set<std::int64_t> inFile;
        for (const auto& leaf : tableLeaves(bytes))
            inFile.insert(leaf.rowids.begin(), leaf.rowids.end());
        ASSERT_TRUE(std::any_of(deleted.begin(), deleted.end(), [&](std::int64_t fid) { return inFile.count(fid); }))
            << "the case under test: deleted bookings still lie on free pages";
        const std::uint32_t trunk = bigEndian32(&bytes[32]);
        ASSERT_NE(trunk, 0u) << "the case under test: a free list";
        const auto top = childrenOf(bytes, s.root());
        ASSERT_GE(top.size(), 2u);
        std::vector<std::unique_ptr<UnreadableRange>> disk;
        if (where != Where::FirstPage)
            overwrite(bytes, top.back().number);
        ASSERT_TRUE(pf::FileManager::writeAtomically(s.path, bytes));
        if (where == Where::FirstPage)
            disk.push_back(std::make_unique<UnreadableRange>(s.path, 0, 4096));
        if (where == Where::InteriorAndTrunk)
            disk.push_back(std::make_unique<UnreadableRange>(s.path, (trunk - 1) * 4096, 4096));

        pf::ResetRegistry::resetAll();
        pf::Log::startCapture();
        const auto listed = s.listed();
        // What was left out for want of the free list is said so, not counted as deleted.
        EXPECT_EQ(pf::Log::contains("left out since the free list does not read whole"), where == Where::InteriorAndTrunk);
        pf::Log::stopCapture();
        for (auto fid : listed)
            EXPECT_FALSE(deleted.count(fid)) << fid << " was deleted and came back";
        if (where == Where::InteriorAndTrunk) {
            EXPECT_TRUE(std::includes(live.begin(), live.end(), listed.begin(), listed.end()));
            // The copy aside is the damaged file itself, whose faults still live: it is read past
            // them, with plain reads, which they do not reach.
            std::ifstream aside(s.path + ".corrupt", std::ios::binary);
            const pf::Bytes bytes((std::istreambuf_iterator<char>(aside)), std::istreambuf_iterator<char>());
            std::set<std::int64_t> reached;
            for (size_t i = 0; i + 1 < top.size(); ++i) {
                auto below = rowidsBelow(bytes, top[i].number);
                reached.insert(below.begin(), below.end());
            }
            EXPECT_TRUE(std::includes(listed.begin(), listed.end(), reached.begin(), reached.end())) << "what the tree reaches is kept";
        } else {
            EXPECT_EQ(listed, live);
        }
    }
}

// The first page refused among many others, in a store whose fids are spread apart and some of
// whose bookings were deleted without secure delete: the page size is found again from the pages
// that read (not at twice its size, where a page still looks like one), a page read is not
// refused for a larger read at its offset that ran into a bad page, and no deleted booking comes
// back.
TEST(PageMend, TheFirstPageRefusedAmongOthersCostsOnlyTheRefusedLeaves)
{
    for (size_t every : { 2u, 3u, 5u }) {
        SCOPED_TRACE("one leaf in " + std::to_string(every) + " refused too");
        const auto fids = spreadFids(4000);
        Bookings s(fids);
        std::set<std::int64_t> deleted;
        {
            SQLite::Database raw(s.path, SQLite::OPEN_READWRITE);
            raw.exec("PRAGMA secure_delete = OFF");
            SQLite::Statement remove(raw, "DELETE FROM GiftDetailInfoTableName WHERE fid = ?");
            for (size_t i = 0; i < fids.size(); i += (i > 1000 && i < 1600) ? 1 : 9) {
                remove.reset();
                remove.bind(1, fids[i]);
                remove.exec();
                deleted.insert(fids[i]);
            }
        }
        const auto bytes = *pf::FileManager::read(s.path);
        ASSERT_NE(bigEndian32(&bytes[32]), 0u) << "the case under test: a free list";
        const size_t root = s.root();
        std::set<std::int64_t> expected;
        std::vector<std::unique_ptr<UnreadableRange>> disk;
        disk.push_back(std::make_unique<UnreadableRange>(s.path, 0, 4096));
        size_t leaf = 0;
        std::function<void(size_t)> walk = [&](size_t number) {
            const auto children = childrenOf(bytes, number);
            for (const auto& child : children)
                walk(child.number);
            if (!children.empty())
                return;
            if (leaf++ % every == 0) {
                disk.push_back(std::make_unique<UnreadableRange>(s.path, (number - 1) * 4096, 4096));
                return;
            }
            const auto rowids = leafRowids(bytes, number);
            expected.insert(rowids.begin(), rowids.end());
        };
        walk(root);
        expectMendedTo(s, expected);
        for (auto fid : s.listed())
            EXPECT_FALSE(deleted.count(fid)) << fid << " was deleted and came back";
    }
}

namespace {

// What a mend without hard links, killed after it moved the damaged file aside, leaves: the
// mended file finished at its working name, the damaged file at the first aside name, an older
// copy at the second, the damaged file's journal still at the store's name, and the record
// `record` makes of the damaged file.
struct MovedAside {
    Bookings s { consecutiveFids(20, 3000) };
    std::string aside = pf::FileManager::asidePath(s.path, 1);
    std::string older = pf::FileManager::asidePath(s.path, 2);

    explicit MovedAside(const std::function<std::string(const MovedAside&)>& record, bool recordFirst = false)
    {
        EXPECT_TRUE(pf::FileManager::copyItem(s.path, s.path + ".rebuilt"));
        SQLite::Database(older, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE).exec("CREATE TABLE older (n INTEGER)");
        if (recordFirst) {
            EXPECT_TRUE(pf::FileManager::writeAtomically(s.path + ".rebuilt.aside", std::string_view(record(*this))));
        }
        EXPECT_TRUE(pf::FileManager::moveItem(s.path, aside));
        if (!recordFirst) {
            EXPECT_TRUE(pf::FileManager::writeAtomically(s.path + ".rebuilt.aside", std::string_view(record(*this))));
        }
        EXPECT_TRUE(pf::FileManager::writeAtomically(s.path + "-journal", std::string_view("the damaged file's journal")));
    }
    static std::string identity(const std::string& path)
    {
        struct stat info {};
        ::lstat(path.c_str(), &info);
        return std::to_string(info.st_ino) + " " + std::to_string(info.st_size);
    }
};

}

// The record of where a mend moved the damaged file is trusted only when the file at the name it
// gives is that file, by its inode and size (a record of one line, as earlier versions wrote, says
// neither). Otherwise the journal left behind goes under
// a name of its own, never beside an older copy, and the log does not say the damaged file lies
// where it does not.
TEST(PageMend, TheAsideRecordIsTrustedOnlyWhenItNamesTheFileTheMendMoved)
{
    struct Case {
        const char* name;
        std::function<std::string(const MovedAside&)> record;
        bool recordFirst;
        bool trusted;
    };
    for (const Case& c : {
             Case { "the moved file, its inode and size", [](const MovedAside& m) {
                       return "GameDatabase.sqlite.corrupt\n" + MovedAside::identity(m.s.path) + "\n"; }, true, true },
             Case { "the older copy, the moved file's inode and size", [](const MovedAside& m) {
                       return "GameDatabase.sqlite.corrupt-2\n" + MovedAside::identity(m.s.path) + "\n"; }, true, false },
             Case { "a free name", [](const MovedAside& m) {
                       return "GameDatabase.sqlite.corrupt-3\n" + MovedAside::identity(m.s.path) + "\n"; }, true, false },
             Case { "one line, as earlier versions wrote", [](const MovedAside&) { return std::string("GameDatabase.sqlite.corrupt"); }, true, false },
             Case { "the moved file, written after the move with a size it does not have", [](const MovedAside& m) {
                       return "GameDatabase.sqlite.corrupt\n" + MovedAside::identity(m.aside) + "1\n"; }, false, false } }) {
        SCOPED_TRACE(c.name);
        MovedAside m(c.record, c.recordFirst);
        pf::ResetRegistry::resetAll();
        pf::Log::startCapture();
        EXPECT_EQ(m.s.listed().size(), 20u) << "the mended file is put in place";
        EXPECT_EQ(pf::Log::contains("the damaged file lies at " + m.aside), c.trusted);
        EXPECT_FALSE(pf::Log::contains("lies at " + m.s.path + ".corrupt-3"));
        pf::Log::stopCapture();
        EXPECT_FALSE(pf::FileManager::exists(m.s.path + "-journal"));
        EXPECT_FALSE(pf::FileManager::exists(m.older + "-journal")) << "no journal beside the older copy";
        EXPECT_EQ(pf::FileManager::exists(m.aside + "-journal"), c.trusted);
    }
}

// A store with a sparse tail of 4 GiB on a far slower disk: the mend's time counts the database's
// own size (its header's pages), not the file's, so it ends within a few seconds, keeping what it
// read by then; with the first page refused (no header to count), the file's data, not the tail.
TEST(PageMend, TheTimeBoundCountsTheDatabaseNotASparseTail)
{
    for (bool headerReads : { true, false }) {
        SCOPED_TRACE(headerReads ? "the header reads" : "the first page refused");
        Bookings s(consecutiveFids(4000, 3000));
        auto bytes = *pf::FileManager::read(s.path);
        const auto leaves = tableLeaves(bytes);
        for (size_t i = 1; i < leaves.size(); i += 2)
            damage(bytes, leaves[i], Damage::WholePage);
        ASSERT_TRUE(pf::FileManager::writeAtomically(s.path, bytes));
        ASSERT_EQ(::truncate(s.path.c_str(), static_cast<off_t>(bytes.size() + (std::uint64_t { 4 } << 30))), 0);
        if (!headerReads) {
            const int fd = ::open(s.path.c_str(), O_RDONLY);
            const off_t hole = ::lseek(fd, 0, SEEK_HOLE);
            ::close(fd);
            if (hole < 0 || static_cast<std::uint64_t>(hole) > bytes.size())
                GTEST_SKIP() << "this file system keeps no map of a file's holes";
        }
        std::optional<UnreadableRange> firstPage;
        if (!headerReads)
            firstPage.emplace(s.path, 0, 4096);
        // 20 ms a page once the mend is under way (its new file made): the 800 pages would take
        // 16 s, the bound for the database's 3.3 MB is under 5 s.
        double mending = 0;
        testsupport::SlowDisk slow(s.path, [&] {
            if (pf::FileManager::exists(s.path + ".rebuilt")) {
                s.env.clock().advance(0.02);
                mending += 0.02;
            }
        });
        pf::ResetRegistry::resetAll();
        pf::Log::startCapture();
        const auto listed = s.listed();
        EXPECT_TRUE(pf::Log::contains("stopped at its bounds"));
        pf::Log::stopCapture();
        EXPECT_GT(mending, 3) << "the case under test: the mend read for a while";
        EXPECT_LT(mending, 10) << "not the 259 s a 4 GiB file would allow";
        EXPECT_FALSE(listed.empty()) << "what was read by then is kept";
    }
}

// A mend in a program asked to end (SIGINT, SIGTERM) stops at its next page read: nothing more
// is written or renamed, the store stays as it was, the operation fails and the program ends;
// the next launch mends it whole.
TEST(PageMend, AMendStopsWhenTheProgramIsAskedToEndAndTheNextLaunchMakesIt)
{
    for (int signal : { SIGINT, SIGTERM }) {
        SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
        Bookings s(consecutiveFids(200, 3000));
        auto bytes = *pf::FileManager::read(s.path);
        auto leaves = tableLeaves(bytes);
        damage(bytes, leaves.at(leaves.size() / 2), Damage::WholePage);
        leaves.erase(leaves.begin() + static_cast<std::ptrdiff_t>(leaves.size() / 2));
        ASSERT_TRUE(pf::FileManager::writeAtomically(s.path, bytes));

        testsupport::PipedChild child({ MENDING_CHILD, s.env.sandbox().homePath(), s.path, "1000000000000", "1", "--until-signal" });
        ASSERT_TRUE(child.waitFor("mending")) << "the child's mend began reading";
        const auto ended = child.end(signal);
        ASSERT_TRUE(WIFEXITED(ended.status)) << ended.errorOutput;
        EXPECT_EQ(WEXITSTATUS(ended.status), 3) << "the listing failed";
        EXPECT_EQ(pf::FileManager::read(s.path), bytes) << "the store as it was";
        EXPECT_FALSE(pf::FileManager::exists(s.path + ".corrupt"));

        expectMendedTo(s, fidsOf(leaves));
        EXPECT_FALSE(pf::FileManager::exists(s.path + ".rebuilt"));
    }
}

namespace {

// A file's bytes as a page source, counting its reads.
class BytesSource : public PageSource {
public:
    explicit BytesSource(pf::Bytes bytes)
        : m_bytes(std::move(bytes))
    {
    }
    std::uint64_t size() const override { return m_bytes.size(); }
    Read read(std::uint64_t offset, std::size_t length, std::uint8_t* into) override
    {
        ++reads;
        if (offset + length > m_bytes.size())
            return Read::Refused;
        std::memcpy(into, m_bytes.data() + offset, length);
        return Read::Ok;
    }
    long reads = 0;

private:
    pf::Bytes m_bytes;
};

}

// A hostile file (every child of the root but the last leads back to the root; the free list's
// one trunk, on the last child's page, leads back to itself) is read in a bounded number of reads,
// each page once.
TEST(PageMend, AWalkOverPagesThatLeadBackEnds)
{
    Bookings s(consecutiveFids(400, 3000));
    auto bytes = *pf::FileManager::read(s.path);
    const size_t root = s.root();
    const auto children = childrenOf(bytes, root);
    for (size_t i = 0; i + 1 < children.size(); ++i)
        pointAt(bytes, children[i], root);
    const size_t trunk = children.back().number;
    const std::uint32_t pages = static_cast<std::uint32_t>(bytes.size() / 4096);
    for (int i = 0; i < 4; ++i) {
        bytes[32 + i] = static_cast<std::uint8_t>(trunk >> (24 - 8 * i));
        bytes[36 + i] = static_cast<std::uint8_t>(1 >> (24 - 8 * i));
        bytes[(trunk - 1) * 4096 + i] = static_cast<std::uint8_t>(trunk >> (24 - 8 * i));
        bytes[(trunk - 1) * 4096 + 4 + i] = 0;
    }
    BytesSource source(bytes);
    PageReader reader(source, [] { return true; });
    SalvageWalk walk(reader, { "GiftDetailInfoTableName", GiftDetailInfo::kTableColumns.size(), 0 });
    long long offered = 0;
    EXPECT_EQ(walk.run([&](std::int64_t, const std::vector<SalvagedValue>&) { return ++offered, true; }), SalvageWalk::End::Read);
    EXPECT_GT(walk.counts().reachedAgain, 0);
    EXPECT_LE(source.reads, 2 * static_cast<long>(pages) + 20);
}

// The scan holds where each copy of a row lies, not its values: the 20,000 small bookings of a
// store whose root is overwritten are all offered under a bound of 1 MB on what the walk holds
// (their values, held, would take tens of MB). A bound below the 16 bytes a copy takes stops the
// reading, and the rows of the pages read by then are kept.
TEST(PageMend, TheScanHoldsWhereRowsLieNotTheirValues)
{
    Bookings s(consecutiveFids(20000, 3000), 20);
    auto bytes = *pf::FileManager::read(s.path);
    overwrite(bytes, s.root());
    for (std::uint64_t bound : { std::uint64_t { 1 } << 20, std::uint64_t { 64 } << 10 }) {
        SCOPED_TRACE("a bound of " + std::to_string(bound >> 10) + " KB");
        BytesSource source(bytes);
        PageReader reader(source, [] { return true; });
        SalvageWalk walk(reader, { "GiftDetailInfoTableName", GiftDetailInfo::kTableColumns.size(), 0, 16 << 20, bound });
        std::set<std::int64_t> offered;
        const auto end = walk.run([&](std::int64_t rowid, const std::vector<SalvagedValue>&) { return offered.insert(rowid), true; });
        EXPECT_TRUE(walk.counts().scanned) << "the case under test: rows found by reading every page";
        if (bound >= (std::uint64_t { 1 } << 20)) {
            EXPECT_EQ(end, SalvageWalk::End::Read);
            EXPECT_EQ(offered.size(), 20000u);
        } else {
            EXPECT_EQ(end, SalvageWalk::End::Stopped);
            EXPECT_GT(offered.size(), 1000u) << "what was read by then is kept";
            EXPECT_LT(offered.size(), 20000u);
        }
        EXPECT_TRUE(std::all_of(offered.begin(), offered.end(), [](std::int64_t fid) { return fid >= 3000 && fid < 23000; }));
    }
}
