// Where the tree of a damaged booked store does not lead to every leaf, the mend reads the pages
// nothing else accounts for: it decides what each page is before it takes a row from one, takes a
// page size only where the pages read as pages at it, and keeps what it read when its bounds cut
// it short, within bounded memory.
#include "platform/foundation/Clock.h"
#include "platform/foundation/FileManager.h"
#include "tests/support/BookingsFile.h"
#include "tests/support/DamagedStore.h"
#include "tests/support/SlowDisk.h"
#include "tests/support/UnreadableRange.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <random>
#include <thread>

using namespace testsupport::damagedstore;
using namespace testsupport::bookingsfile;
using testsupport::UnreadableRange;

namespace {

enum class FirstPage { Overwritten, Refused };

// Damages the file's first page (its header and the schema) and mends at the next launch;
// expects every booking the file held and no other.
void expectFirstPageLossCostsNothing(Bookings& s, FirstPage how, size_t pageSize = 4096)
{
    const auto live = s.live();
    ASSERT_FALSE(live.empty());
    std::optional<UnreadableRange> refused;
    if (how == FirstPage::Overwritten) {
        auto bytes = *pf::FileManager::read(s.path);
        overwrite(bytes, 1, pageSize);
        ASSERT_TRUE(pf::FileManager::writeAtomically(s.path, bytes));
    } else {
        refused.emplace(s.path, 0, pageSize);
    }
    expectMendedTo(s, live);
}

const char* nameOf(FirstPage how)
{
    return how == FirstPage::Overwritten ? "the first page overwritten" : "the first page refused";
}

}

// Long bookings deleted without secure delete leave overflow chains on free pages, and the pages
// are used again since: as leaves of live bookings, as trunks of the free list. A leaf freed as
// its cells moved to its siblings keeps copies of them, and of their chains' page numbers, after
// those bookings are deleted too. With the first page gone (the free list then known only by its
// trunks' look), no chain of a deleted booking decides what a page is: no live booking is lost
// and no deleted one comes back.
TEST(PageScan, OldOverflowChainsOfDeletedBookingsDecideNothing)
{
    struct Case {
        const char* name;
        int share;  // one booking in `share` deleted each round
        bool added; // 300 bookings added after each round
        FirstPage how;
    };
    for (const Case& c : { Case { "half deleted in each of four rounds", 2, false, FirstPage::Overwritten },
             Case { "a quarter deleted in each of four rounds, more added after each", 4, true, FirstPage::Refused } }) {
        SCOPED_TRACE(c.name);
        SCOPED_TRACE(nameOf(c.how));
        Bookings s(consecutiveFids(2000, 1));
        const auto length = [](std::int64_t fid) { return fid % 8 == 0 ? 3000 : fid % 8 == 4 ? 10000 : 700; };
        s.add(consecutiveFids(3000, 2001), length);
        std::mt19937 random(1);
        std::int64_t next = 5001;
        for (int round = 0; round < 4; ++round) {
            const auto now = s.live();
            std::vector<std::int64_t> fids(now.begin(), now.end());
            std::shuffle(fids.begin(), fids.end(), random);
            fids.resize(fids.size() / static_cast<size_t>(c.share));
            s.remove(fids);
            if (c.added) {
                s.add(consecutiveFids(300, next), length);
                next += 300;
            }
        }
        expectFirstPageLossCostsNothing(s, c.how);
    }
}

// A page size is taken only where the pages read as pages at it: a leaf holding one booking of
// more than half a page looks like a page at half the size, and so does a leaf of a store of
// 1,024-byte pages at 512; a header that reads may give a wrong size.
TEST(PageScan, ThePageSizeIsTakenWhereThePagesReadAsPages)
{
    for (int descBytes : { 2200, 5500, 10000 }) {
        SCOPED_TRACE("bookings of " + std::to_string(descBytes) + " bytes, the first page overwritten");
        Bookings s(consecutiveFids(descBytes > 5000 ? 600 : 2000, 1), descBytes);
        expectFirstPageLossCostsNothing(s, FirstPage::Overwritten);
    }
    for (FirstPage how : { FirstPage::Overwritten, FirstPage::Refused }) {
        SCOPED_TRACE(std::string("pages of 1,024 bytes, ") + nameOf(how));
        Bookings s(consecutiveFids(4000, 1), 150);
        s.repage(1024);
        expectFirstPageLossCostsNothing(s, how, 1024);
    }
    // A checksumming file layer keeps bytes reserved at each page's end (the header's byte 20):
    // with the header gone, they are found from the pages as the size is.
    struct Reserved {
        int pageSize;
        int reserved;
        FirstPage how;
    };
    for (const Reserved& r : { Reserved { 1024, 8, FirstPage::Overwritten }, Reserved { 2048, 32, FirstPage::Refused } }) {
        SCOPED_TRACE("pages of " + std::to_string(r.pageSize) + " bytes, " + std::to_string(r.reserved) + " reserved, " + nameOf(r.how));
        Bookings s(consecutiveFids(2000, 1), 150);
        s.repage(r.pageSize, r.reserved);
        const auto bytes = *pf::FileManager::read(s.path);
        ASSERT_EQ(pageSizeOf(bytes), static_cast<size_t>(r.pageSize));
        ASSERT_EQ(bytes[20], r.reserved) << "the case under test: a reserved tail";
        expectFirstPageLossCostsNothing(s, r.how, static_cast<size_t>(r.pageSize));
    }
    for (std::uint32_t size : { 512u, 32768u, 65536u }) {
        SCOPED_TRACE("the header's page size changed to " + std::to_string(size));
        Bookings s(consecutiveFids(4000, 1));
        const auto live = s.live();
        auto bytes = *pf::FileManager::read(s.path);
        bytes[16] = static_cast<std::uint8_t>(size == 65536 ? 0 : size >> 8);
        bytes[17] = static_cast<std::uint8_t>(size == 65536 ? 1 : size & 0xFF);
        ASSERT_TRUE(pf::FileManager::writeAtomically(s.path, bytes));
        expectMendedTo(s, live);
    }
}

// An interior page that reads but leads to the wrong pages (overwritten by its sibling, a
// misdirected write; or an older copy of itself, a lost write) loses no booking: the walk finds
// pages nothing accounts for and takes their leaves.
TEST(PageScan, AnInteriorPageThatReadsButIsWrongLosesNoBooking)
{
    {
        SCOPED_TRACE("an interior page overwritten by its sibling");
        Bookings s(consecutiveFids(4000, 3000));
        const auto live = s.live();
        auto bytes = *pf::FileManager::read(s.path);
        const auto top = childrenOf(bytes, s.root());
        ASSERT_GE(top.size(), 2u) << "the case under test: interior pages under the root";
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>((top[1].number - 1) * 4096), 4096,
            bytes.begin() + static_cast<std::ptrdiff_t>((top[0].number - 1) * 4096));
        ASSERT_TRUE(pf::FileManager::writeAtomically(s.path, bytes));
        expectMendedTo(s, live);
    }
    {
        SCOPED_TRACE("an interior page as it was before a thousand bookings were added");
        Bookings s(consecutiveFids(4000, 3000));
        const auto before = *pf::FileManager::read(s.path);
        const auto top = childrenOf(before, s.root());
        ASSERT_GE(top.size(), 2u);
        s.add(consecutiveFids(1000, 7000), [](std::int64_t) { return 700; });
        const auto live = s.live();
        auto bytes = *pf::FileManager::read(s.path);
        const size_t last = top.back().number;
        ASSERT_EQ(childrenOf(bytes, s.root()).back().number, last) << "the case under test: the same page, grown since";
        ASSERT_GT(childrenOf(bytes, last).size(), childrenOf(before, last).size());
        std::copy_n(before.begin() + static_cast<std::ptrdiff_t>((last - 1) * 4096), 4096,
            bytes.begin() + static_cast<std::ptrdiff_t>((last - 1) * 4096));
        ASSERT_TRUE(pf::FileManager::writeAtomically(s.path, bytes));
        expectMendedTo(s, live);
    }
}

namespace {

// The pages of the overflow chain that holds a long run of `letter` (a long booking's
// description), from its first.
std::vector<size_t> chainOf(const pf::Bytes& bytes, char letter)
{
    const size_t pageSize = pageSizeOf(bytes);
    std::set<size_t> runs;
    std::set<size_t> pointedTo;
    for (size_t page = 2; page * pageSize <= bytes.size(); ++page) {
        const auto* start = bytes.data() + (page - 1) * pageSize;
        if (std::all_of(start + 4, start + 104, [&](std::uint8_t b) { return b == letter; })) {
            runs.insert(page);
            pointedTo.insert(bigEndian32(start));
        }
    }
    std::vector<size_t> chain;
    for (size_t page : runs) {
        if (!pointedTo.count(page)) {
            for (size_t next = page; next != 0 && chain.size() < runs.size() + 1; next = bigEndian32(bytes.data() + (next - 1) * pageSize))
                chain.push_back(next);
            break;
        }
    }
    return chain;
}

}

// A pointer of the table's tree that leads to a page of a long booking's overflow chain (a stale
// pointer, a stray write) is damage of the tree, not of the chain, whichever the walk meets
// first: the root's first pointer (the chain is read after the walk passed that page) or its
// last (before). The bookings of the leaf the pointer led to are found by reading every page, and
// the long booking's chain, which reads whole, keeps it.
TEST(PageScan, APointerToABookingsOverflowPageCostsNoBookingInEitherOrder)
{
    for (bool first : { true, false }) {
        SCOPED_TRACE(first ? "the root's first pointer" : "the root's last pointer");
        Bookings s(consecutiveFids(50, 1));
        {
            SQLite::Database raw(s.path, SQLite::OPEN_READWRITE);
            raw.exec("UPDATE GiftDetailInfoTableName SET desc = printf('%.*c', 10000, 'Q') WHERE fid = 25");
        }
        const auto live = s.live();
        auto bytes = *pf::FileManager::read(s.path);
        const auto chain = chainOf(bytes, 'Q');
        ASSERT_GE(chain.size(), 2u) << "the case under test: a booking of 10 KB runs on";
        const auto top = childrenOf(bytes, s.root());
        const auto& pointer = first ? top.front() : top.back();
        ASSERT_GE(top.size(), 3u);
        const auto below = rowidsBelow(bytes, pointer.number);
        ASSERT_EQ(std::count(below.begin(), below.end(), 25), 0) << "the long booking lies on a leaf the tree still reaches";
        pointAt(bytes, pointer, chain.front());
        ASSERT_TRUE(pf::FileManager::writeAtomically(s.path, bytes));
        expectMendedTo(s, live);
    }
}

// A lost write: an interior page under the root, as it was before bookings below it were deleted
// (their leaves freed) and a long booking was added, whose overflow chain took pages they freed.
// The old copy leads to pages of that chain, and to pages still free: every live booking is kept
// and none deleted comes back, whether the long booking lies before that page in the tree's order
// (its chain is read first) or after it.
TEST(PageScan, AnOldInteriorPageLeadingToALaterBookingsChainCostsNoBooking)
{
    for (bool before : { true, false }) {
        SCOPED_TRACE(before ? "the long booking before the old page" : "the long booking after the old page");
        Bookings s(consecutiveFids(4000, 3000));
        const auto old = *pf::FileManager::read(s.path);
        const auto top = childrenOf(old, s.root());
        ASSERT_GE(top.size(), 2u) << "the case under test: interior pages under the root";
        const size_t stale = before ? top.back().number : top.front().number;
        const auto below = rowidsBelow(old, stale);
        const std::vector<std::int64_t> deleted(below.begin() + static_cast<std::ptrdiff_t>(below.size() / 4),
            below.begin() + static_cast<std::ptrdiff_t>(below.size() / 2));
        s.remove(deleted);
        const std::int64_t longFid = before ? 1 : 100'000;
        s.add({ longFid }, [](std::int64_t) { return 200'000; });
        const auto live = s.live();
        auto bytes = *pf::FileManager::read(s.path);
        const auto chain = chainOf(bytes, static_cast<char>('a' + longFid % 26));
        ASSERT_GT(chain.size(), 40u);
        const auto listed = childrenOf(old, stale);
        ASSERT_TRUE(std::any_of(listed.begin(), listed.end(),
            [&](const Child& child) { return std::find(chain.begin(), chain.end(), child.number) != chain.end(); }))
            << "the case under test: the old page leads to a page of the chain";
        std::copy_n(old.begin() + static_cast<std::ptrdiff_t>((stale - 1) * 4096), 4096,
            bytes.begin() + static_cast<std::ptrdiff_t>((stale - 1) * 4096));
        ASSERT_TRUE(pf::FileManager::writeAtomically(s.path, bytes));
        expectMendedTo(s, live);
    }
}

// With the first page and the free list's trunk both unreadable, the free pages that trunk lists
// look like leaves, and older copies of bookings updated or moved since lie on them: where the
// copies differ, the one a readable interior page leads to is the live one, and every live
// booking is kept. (The deleted bookings on those pages may come back: nothing tells them apart.)
TEST(PageScan, TheFirstPageAndATrunkUnreadableLoseNoLiveBooking)
{
    Bookings s(consecutiveFids(4000, 1));
    std::mt19937 random(1);
    for (int round = 0; round < 3; ++round) {
        const auto now = s.live();
        std::vector<std::int64_t> fids(now.begin(), now.end());
        std::shuffle(fids.begin(), fids.end(), random);
        fids.resize(fids.size() / 4);
        s.remove(fids);
        SQLite::Database raw(s.path, SQLite::OPEN_READWRITE);
        raw.exec("PRAGMA secure_delete = OFF");
        raw.exec("UPDATE GiftDetailInfoTableName SET desc = desc || 'xyz' WHERE fid % 5 = " + std::to_string(round));
    }
    const auto live = s.live();
    const auto rows = storedRows(s.path);
    const std::uint32_t trunk = bigEndian32(&pf::FileManager::read(s.path)->at(32));
    ASSERT_NE(trunk, 0u) << "the case under test: a free list";
    UnreadableRange first(s.path, 0, 4096);
    UnreadableRange trunkPage(s.path, (trunk - 1) * 4096, 4096);
    pf::ResetRegistry::resetAll();
    pf::Log::startCapture();
    const auto listed = s.listed();
    EXPECT_TRUE(pf::Log::contains("the copy a readable interior page leads to kept")) << "the case under test: copies that differ";
    pf::Log::stopCapture();
    EXPECT_TRUE(std::includes(listed.begin(), listed.end(), live.begin(), live.end())) << "every live booking kept";
    const auto mended = storedRows(s.path);
    for (auto fid : live)
        EXPECT_EQ(mended.at(fid), rows.at(fid)) << fid << " is kept as it was last written";
}

// With the root gone every leaf is found by reading every page; on a disk so slow that the time
// bound cuts the reading short, the bookings of the pages read by then are kept: on the manual
// clock that a slow disk moves, and on the real clock, where each read takes 10 ms (the 800 reads
// would take 8 s, the bound for the database's 3.3 MB is 4.65 s).
TEST(PageScan, AScanCutByItsBoundKeepsWhatItRead)
{
    for (bool realClock : { false, true }) {
        SCOPED_TRACE(realClock ? "the real clock, the root overwritten" : "the manual clock, the root refused");
        Bookings s(consecutiveFids(4000, 3000));
        const auto live = s.live();
        std::optional<UnreadableRange> root;
        if (realClock) {
            auto bytes = *pf::FileManager::read(s.path);
            overwrite(bytes, s.root());
            ASSERT_TRUE(pf::FileManager::writeAtomically(s.path, bytes));
            pf::Clock::shared().useSystemTime();
        } else {
            root.emplace(s.path, (s.root() - 1) * 4096, 4096);
        }
        // 50 ms of the manual clock a read once the mend is under way: about a hundred reads
        // within the bound, of the 800 it would take.
        testsupport::SlowDisk slow(s.path, [&] {
            if (!pf::FileManager::exists(s.path + ".rebuilt"))
                return;
            if (realClock)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            else
                s.env.clock().advance(0.05);
        });
        pf::ResetRegistry::resetAll();
        pf::Log::startCapture();
        const auto listed = s.listed();
        EXPECT_TRUE(pf::Log::contains("stopped at its bounds"));
        pf::Log::stopCapture();
        EXPECT_FALSE(listed.empty()) << "what was read by then is kept";
        EXPECT_LT(listed.size(), live.size()) << "the case under test: a scan cut short";
        EXPECT_TRUE(std::includes(live.begin(), live.end(), listed.begin(), listed.end()));
    }
}

namespace {

void putVarint(std::uint8_t*& at, std::uint64_t value)
{
    std::uint8_t bytes[9];
    int n = 0;
    do {
        bytes[n++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value);
    for (int i = n - 1; i >= 0; --i)
        *at++ = static_cast<std::uint8_t>(bytes[i] | (i ? 0x80 : 0));
}

void putBigEndian(std::uint8_t* at, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
}

}

// A hostile file whose leaves hold cells each claiming a payload of 64 MB, or of ten pages, with
// an overflow chain that leads to a page that leads to itself: neither is read as a payload
// (nothing is kept room for on a cell's word, and a chain never passes a page twice), the mend
// reads each page a bounded number of times, and the launch gets a usable store with the
// bookings of the sound leaves.
TEST(PageScan, ACellClaimingMoreThanItsChainHoldsIsNoPayload)
{
    Bookings s(consecutiveFids(400, 3000));
    auto bytes = *pf::FileManager::read(s.path);
    const auto leaves = tableLeaves(bytes);
    std::set<std::int64_t> expected;
    overwrite(bytes, s.root());
    for (size_t i = 0; i < leaves.size(); ++i) {
        std::uint8_t* page = bytes.data() + (leaves[i].number - 1) * 4096;
        if (i % 3 == 0 || i + 1 == leaves.size()) {
            expected.insert(leaves[i].rowids.begin(), leaves[i].rowids.end());
        } else if (i % 3 == 2) {
            // No leaf any more: a page of a chain, whose next page is itself.
            putBigEndian(page, static_cast<std::uint32_t>(leaves[i].number), 4);
        } else {
            // Eight cells, their local parts as SQLite lays out a 4 KiB page's: 489 bytes for a
            // payload of 489 + 4,092 k bytes.
            std::fill(page, page + 4096, 0);
            page[0] = 13;
            putBigEndian(page + 3, 8, 2);
            size_t end = 4096;
            for (std::uint32_t cell = 0; cell < 8; ++cell) {
                end -= 500;
                putBigEndian(page + 8 + 2 * cell, static_cast<std::uint32_t>(end), 2);
                std::uint8_t* at = page + end;
                putVarint(at, 489 + std::uint64_t { 4092 } * (cell % 2 ? 16399 : 10));
                putVarint(at, static_cast<std::uint64_t>(100'000 + i * 8 + cell));
                // A record's header as a booking's begins: its size, then 21 integers.
                *at++ = 22;
                std::fill(at, at + 21, 1);
                at += 489 - 1;
                putBigEndian(at, static_cast<std::uint32_t>(leaves[i + 1].number), 4);
            }
            putBigEndian(page + 5, static_cast<std::uint32_t>(end), 2);
        }
    }
    ASSERT_TRUE(pf::FileManager::writeAtomically(s.path, bytes));
    const long pages = static_cast<long>(bytes.size() / 4096);
    testsupport::SlowDisk counted(s.path, [] {});
    pf::ResetRegistry::resetAll();
    pf::Log::startCapture();
    EXPECT_EQ(s.listed(), expected);
    EXPECT_TRUE(pf::Log::contains("whose overflow pages did not read"));
    pf::Log::stopCapture();
    EXPECT_LT(testsupport::SlowDisk::reads(), 4 * pages + 100) << "no chain read round and round";
}

// A hostile file, its root overwritten, whose leaves hold cells that all run on through the one
// chain of a long booking: a page belongs to one chain at most, so one row takes the chain and
// the others are lost, and the mended store holds no more than the damaged file (not a copy of
// the chain for each cell).
TEST(PageScan, CellsSharingOneOverflowChainKeepOneRow)
{
    Bookings s(consecutiveFids(1200, 3000));
    constexpr std::int64_t kLong = 100'000; // its rowid takes three bytes, as the crafted ones'
    s.add({ kLong }, [](std::int64_t) { return 20'000; });
    // The long booking's cell, its payload's part on the leaf made the least SQLite puts there
    // (489 bytes on a page of 4 KiB), so that eight such cells fit a leaf.
    std::vector<std::uint8_t> cell;
    for (int length = 20'000; cell.empty(); length += 500) {
        {
            SQLite::Database raw(s.path, SQLite::OPEN_READWRITE);
            raw.exec("UPDATE GiftDetailInfoTableName SET desc = printf('%.*c', " + std::to_string(length) + ", 'L') WHERE fid = 100000");
        }
        ASSERT_LT(length, 26'000);
        const auto bytes = *pf::FileManager::read(s.path);
        for (const auto& leaf : tableLeaves(bytes)) {
            const auto rowids = leafRowids(bytes, leaf.number);
            const auto at = std::find(rowids.begin(), rowids.end(), kLong);
            if (at == rowids.end())
                continue;
            const std::uint8_t* page = bytes.data() + (leaf.number - 1) * 4096;
            const size_t index = static_cast<size_t>(at - rowids.begin());
            const std::uint8_t* start = page + ((size_t { page[8 + 2 * index] } << 8) | page[9 + 2 * index]);
            const std::uint8_t* p = start;
            const auto payload = varint(p);
            varint(p);
            if (489 + (payload - 489) % 4092 > 4061)
                cell.assign(start, p + 489 + 4);
        }
    }
    auto bytes = *pf::FileManager::read(s.path);
    overwrite(bytes, s.root());
    std::uint32_t rowid = 200'000;
    size_t crafted = 0;
    for (const auto& leaf : tableLeaves(bytes)) {
        if (std::count(leaf.rowids.begin(), leaf.rowids.end(), kLong))
            continue;
        std::uint8_t* page = bytes.data() + (leaf.number - 1) * 4096;
        std::fill(page, page + 4096, 0);
        page[0] = 13;
        putBigEndian(page + 3, 8, 2);
        size_t end = 4096;
        for (std::uint32_t i = 0; i < 8; ++i, ++crafted) {
            end -= cell.size();
            putBigEndian(page + 8 + 2 * i, static_cast<std::uint32_t>(end), 2);
            std::copy(cell.begin(), cell.end(), page + end);
            // The rowid, after the payload's size (three bytes, as the long booking's).
            std::uint8_t* at = page + end;
            while (*at & 0x80)
                ++at;
            ++at;
            putVarint(at, rowid++);
        }
        putBigEndian(page + 5, static_cast<std::uint32_t>(end), 2);
    }
    ASSERT_GT(crafted, 1000u) << "the case under test: many cells through one chain";
    ASSERT_TRUE(pf::FileManager::writeAtomically(s.path, bytes));
    pf::ResetRegistry::resetAll();
    pf::Log::startCapture();
    const auto listed = s.listed();
    EXPECT_TRUE(pf::Log::contains("whose overflow pages did not read: " + std::to_string(crafted)));
    pf::Log::stopCapture();
    EXPECT_EQ(std::count_if(listed.begin(), listed.end(), [](std::int64_t fid) { return fid >= kLong; }), 1);
    EXPECT_LT(*pf::FileManager::size(s.path), bytes.size()) << "no more than the damaged file";
}
