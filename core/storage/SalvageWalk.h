#pragma once

#include "core/storage/PageReader.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The reading of one table's rows out of a damaged file, page by page (PageReader), so that
// every row on a table leaf that reads whole is found, wherever the damage lies and however the
// rowids are spread, and no deleted row comes back:
// - What each page is, is kept in one map (`Kind`, and the free list's marks), with its
//   precedence written in one place: where findings disagree, the stronger wins, and an overflow
//   chain takes only a page nothing else is known to be. So what a page is does not depend on the
//   order the reading meets it.
// - The free list is read first, from the header: a page on it is free, whatever else leads to
//   it. Then the schema (the tree on the first page) gives the table's root; the table's tree is
//   walked from it, each page once, and the rows of each leaf it reaches are offered as they are
//   read, each cell's overflow chain followed. The other tables' and indexes' trees are walked
//   too, so that every page of the database is accounted for. A page a pointer of a tree leads
//   to that is no page of that tree (a lost write's stale pointer to a page used since as part
//   of an overflow chain) is damage of the tree, not of the chain: a chain that reads whole takes
//   it. A b-tree page is never a page of a chain (SQLite ends every chain with a zero pointer,
//   which no b-tree page begins with), and a page belongs to one chain at most, so the rows kept
//   never hold more bytes than the file.
// - Where the walk finds anything amiss (a page of the schema or of the tree that does not read
//   or is not what it should be, a page reached twice, a page of the tree on the free list, an
//   overflow chain that does not read), or a page that nothing accounts for (the tree, the free
//   list, the other trees, the overflow chains of their cells), every page nothing accounts for
//   is read (the scan), and nothing is followed from it: what it is goes into the map (a table
//   leaf, a table's interior page with its children, another b-tree page, or, where the free
//   list does not read whole, a page that looks like one of its trunks: none of a b-tree's kinds,
//   listing only pages of the database; it and the pages it lists count as free), and of each
//   leaf's cells only where a copy of a rowid lies (its page and cell, never its values). Rows
//   are then decided on the map, and the leaves holding the copies kept are read once more,
//   each row offered as it is read, its overflow chain followed then. A chain of a deleted cell
//   may run through pages used again since, as a leaf or a trunk, and must not decide what those
//   are: chains are followed only from cells on leaves that are not free. A trunk found by its
//   look that is a page of such a cell's chain is no trunk: the pages it listed are then looked
//   at again.
// - A free page keeps the rows it held when it was freed (unless SQLite zeroed it), and they are
//   deleted rows: never offered. So where the header counts more free pages than were found, no
//   leaf off the tree is taken at all (any may be free); where the header itself does not read,
//   the pages that look like trunks are all that is known of the free list. With no schema (the
//   first page gone) the table's rows are known by their shape: as many values as the table has
//   columns.
// - A rowid found twice: the copy the tree reaches wins; among copies on pages the tree does not
//   reach that differ, the copies a readable interior page (off the tree, not free) leads to win
//   where they agree; otherwise all are left out, as any may be the older one. Copies are
//   compared by a digest of their payloads, read again for that.
// - Only a cell's pointer leads to a cell: the bytes of rows deleted from a leaf, which lie in
//   its free space, are never read.
// - A cell's overflow chain is followed; where a page of it does not read, passes a page twice,
//   or is a page something else is (a b-tree page, a free page, a page of another chain), only
//   that row is lost.
// The reader's `mayRead` bounds the walk and the scan's reading of every page (its time, and an
// end asked for): a read it refuses ends that reading at once. The rows the tree gave are offered
// already; what the pages the scan read by then hold is decided on what they show, and offered
// too: the leaves that hold them are read again (`PageReader::setReadingAgain`), each once, with the
// chains of their rows. Between pages the walk holds the map (two bytes a page), the rowids the
// tree gave and where each copy of a row off the tree lies (16 bytes a copy), with the children
// of interior pages and the lists of trunks found off the tree; those bytes are bounded
// (`maxHeldBytes`): the reading stops there as at its time. A row's values are held only while
// it is offered.
class SalvageWalk {
public:
    struct Table {
        std::string name;
        size_t columns = 0;
        int rowidColumn = -1; // the column that is the rowid (INTEGER PRIMARY KEY), -1 for none
        size_t maxValueBytes = 16 << 20;
        std::uint64_t maxHeldBytes = std::uint64_t { 32 } << 20;
    };
    // Offered a row (its values in table order, the rowid's column filled in); answers whether
    // it was kept (the table's manager found it whole).
    using Keep = std::function<bool(std::int64_t rowid, const std::vector<SalvagedValue>& values)>;

    enum class End {
        Read,    // every page the walk meant to read was read, or refused
        Stopped, // `mayRead` refused a read, or the walk held as many bytes as it may
        Failed,  // a read failed for a reason that may pass
    };

    struct Counts {
        long long kept = 0;
        long long leftOut = 0;         // rows read that were not whole, or malformed
        long long overflowLost = 0;    // rows whose overflow chain did not read
        long long reachedAgain = 0;    // pages the table's tree led back to
        long long damagedPages = 0;    // pages of the schema or the tree that did not read
        long long freeOnTree = 0;      // pages the table's tree leads to that are on the free list
        long long keptOffTree = 0;     // rows kept from leaves no readable page leads to
        long long settled = 0;         // rowids found differing off the tree, the copy an interior page leads to kept
        long long conflicting = 0;     // rowids left out, found differing on such leaves
        long long deletedSkipped = 0;  // rows off the tree on free pages, never offered
        long long maybeDeleted = 0;    // rows off the tree not offered since the free list did not read whole
        bool schemaRead = false;       // the schema read whole
        bool scanned = false;          // every page nothing accounts for was read
    };

    SalvageWalk(PageReader& reader, Table table);
    End run(const Keep& keep);
    const Counts& counts() const { return m_counts; }
    // The bytes the walk holds between pages now (see above).
    std::uint64_t heldBytes() const;

private:
    // What a page is, from everything the reading found. The order is the precedence: where two
    // findings disagree, the later kind in this list wins (`note`). An overflow chain takes only a
    // page of a kind before `Chain` (`mayJoinChain`), and never a free page (where the free list
    // reads whole): a b-tree page, a free page or another chain's page is none of its pages.
    enum class Kind : std::uint8_t {
        Unseen,     // not read
        Nothing,    // read or refused, and none of the below: garbage, a page a wrong pointer led to,
                    // a page of a chain no row read took
        LikeTrunk,  // looks like a free list's trunk (looked for where the free list does not read whole)
        Chain,      // a page of the overflow chain of a row read (of one chain only)
        Leaf,       // a table leaf the scan found
        Interior,   // a table's interior page the scan found
        OtherBTree, // another b-tree page the scan found (an index's)
        Tree,       // a page of a tree walked from its root, of that tree's kind
    };
    // Marks of a page beside its kind.
    enum : std::uint8_t {
        kListed = 1,     // on the free list the header gives (what of it read)
        kFreeByLook = 2, // a trunk found by its look, or a page it lists
        kNotTrunk = 4,   // looks like a trunk, but is a page of the chain of a cell on a leaf that is not free
        kLedTo = 8,      // a table's interior page the scan found, and that is not free, leads to it
        kInChain = 16,   // a page of the chain being followed
        kWalked = 32,    // passed by a chain followed to settle the trunks
        kDigested = 64,  // passed by a chain read to compare copies
    };
    // Where a copy of a row off the tree lies.
    struct Copy {
        std::int64_t rowid = 0;
        std::uint32_t page = 0;
        std::uint16_t cell = 0;
        std::uint8_t flags = 0;
    };
    enum : std::uint8_t {
        kOverflows = 1,   // its payload runs on in a chain
        kChainWalked = 2, // its chain was followed to settle the trunks
        kCompared = 4,    // another copy of its rowid may be taken: they are compared
        kOffered = 8,     // the copy of its rowid to offer
    };
    // A compared copy (by its place in `m_copies`) and its payload's digest.
    struct Compared {
        std::uint32_t copy = 0;
        bool whole = false; // its payload read whole
        std::uint64_t digest = 0;
    };
    // The page a cell was last read from, again.
    struct Reread {
        std::uint32_t page = 0;
        PageReader::Got got = PageReader::Got::Refused;
        std::optional<PageReader::BTree> tree;
    };
    using CellFound = std::function<PageReader::Got(std::uint32_t page, const std::vector<std::uint8_t>& bytes, const PageReader::Cell& cell)>;
    using Take = std::function<void(const std::uint8_t* bytes, size_t length)>;

    PageReader& m_reader;
    Table m_table;
    Counts m_counts;
    End m_end = End::Read;
    bool m_amiss = false;
    bool m_freeListWhole = false;
    std::uint64_t m_listedOutside = 0; // numbers past the database's pages its free list gives
    std::vector<Kind> m_kinds;         // by page number
    std::vector<std::uint8_t> m_marks; // by page number
    std::vector<std::int64_t> m_treeRowids;
    std::vector<Copy> m_copies;
    std::vector<std::uint32_t> m_trunks; // each trunk found by its look: its number, the count it lists, what it lists
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_children; // of interior pages the scan found
    std::vector<Compared> m_compared;
    // Room reused from page to page and row to row.
    std::vector<std::uint8_t> m_pageBytes;
    std::vector<std::uint8_t> m_chainBytes;
    std::vector<std::uint8_t> m_payload;
    std::vector<std::uint32_t> m_chain;

    void note(std::uint32_t page, Kind kind);
    bool mayJoinChain(std::uint32_t page) const;
    bool isFree(std::uint32_t page) const { return m_marks[page] & (kListed | kFreeByLook); }
    // Walks a tree from `root`: true when every page of it read whole. `anyKind`: an index's tree,
    // or a table's whose cells are not read, is walked for its pages; otherwise only a table's
    // pages are. `reachedAgain` counts the pages it leads back to.
    bool walkTree(std::uint32_t root, bool anyKind, const CellFound& found, long long* reachedAgain);
    // Follows the chain of `cell`, giving each page's payload bytes to `take` (when set). A chain
    // that reads whole is taken by the row where `claim` says so; `mark` is left on each page it
    // passes, and a chain that comes to a page with it does not read. Page when it read whole,
    // Refused when a page of it did not or may not be in it, or why the reading ends. Its pages
    // are left in `m_chain`.
    PageReader::Got followChain(const PageReader::Cell& cell, bool claim, std::uint8_t mark, const Take& take);
    // The cell's whole payload into `m_payload`, its chain taken by the row.
    PageReader::Got readPayload(const PageReader::Cell& cell, const std::vector<std::uint8_t>& bytes);
    bool readSchema(std::int64_t& root, std::vector<std::uint32_t>& otherRoots);
    bool readFreeList();
    // Whether every page of the database is a page of a tree walked, of a chain followed or of the
    // free list.
    bool accountedFor() const;
    void scan(const Keep& keep);
    // The scan's reading of every page nothing accounts for: into the map, and where the copies
    // of rows lie.
    void readEveryPage();
    // Which trunks found by their look are none: those a chain of a cell on a leaf that is not
    // free passes. False when the reading ends first.
    bool settleTrunks();
    void markFreeByLook();
    // Decides which copy of each rowid is offered, comparing the copies where more than one may
    // be. False when the reading ends first.
    bool decide(bool freeKnown);
    bool compareCopies();
    // Reads again the leaves holding the copies decided on, and offers their rows.
    void offerKept(const Keep& keep);
    // The cell of `copy`, read again from its page (kept in `at` for the next copy on it).
    std::optional<PageReader::Cell> cellOf(const Copy& copy, Reread& at);
    // Whether the reading ends at `got` (and how it ends).
    bool ends(PageReader::Got got);
    bool stopped(PageReader::Got got);
    bool overBound();
    void releasePayload();
    // The row's values in table order (the rowid filled in); none when it is not the table's
    // shape.
    std::optional<std::vector<SalvagedValue>> valuesOf(std::int64_t rowid, bool exactShape) const;
};
