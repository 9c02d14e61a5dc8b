#pragma once

#include "core/storage/PageReader.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// The reading of one table's rows out of a damaged file, page by page (PageReader), so that
// every row on a table leaf that reads whole is found, wherever the damage lies and however the
// rowids are spread, and no deleted row comes back:
// - The free list is read first, from the header: a page on it is free, whatever else leads to
//   it. Then the schema (the tree on the first page) gives the table's root; the table's tree is
//   walked from it, each page once, and the rows of each leaf it reaches are offered in turn,
//   each cell's overflow chain followed. The other tables' and indexes' trees are walked too, so
//   that every page of the database is accounted for.
// - Where the walk finds anything amiss (a page of the schema or of the tree that does not read
//   or is not what it should be, a page reached twice, a page of the tree on the free list, an
//   overflow chain that does not read), or a page that nothing accounts for (the tree, the free
//   list, the other trees, the overflow chains of their cells), every page nothing accounts for
//   is read, in two passes. The first decides what each page is, without following anything
//   from it: a table leaf (its cells are held), a table's interior page (its children noted), or,
//   where the free list does not read whole, a page that looks like one of its trunks (none of a
//   b-tree's kinds, listing only pages of the database: it and the pages it lists count as free).
//   The second takes the cells of the leaves that are not free, following an overflow chain only
//   from a cell it keeps: a chain of a deleted cell may run through pages used again since, as a
//   leaf or a trunk, and must not decide what those are. A trunk found by its look that is a page
//   of a kept cell's chain is no trunk: the pages it listed are then looked at again.
// - A free page keeps the rows it held when it was freed (unless SQLite zeroed it), and they are
//   deleted rows: never offered. So where the header counts more free pages than were found, no
//   leaf off the tree is taken at all (any may be free); where the header itself does not read,
//   the pages that look like trunks are all that is known of the free list. With no schema (the
//   first page gone) the table's rows are known by their shape: as many values as the table has
//   columns.
// - A rowid found twice: the copy the tree reaches wins; among copies on pages the tree does not
//   reach that differ, the copies a readable interior page (off the tree, not free) leads to win
//   where they agree; otherwise all are left out, as any may be the older one.
// - Only a cell's pointer leads to a cell: the bytes of rows deleted from a leaf, which lie in
//   its free space, are never read.
// - A cell's overflow chain is followed; where a page of it does not read, passes a page twice,
//   or is a page something else accounts for, only that row is lost.
// The reader's `mayRead` bounds the walk (its time, and an end asked for): a read it refuses
// ends the reading at once. The rows the tree gave are offered already; what the pages read by
// then hold is decided on what they show, and offered too. The bytes the walk holds at once are
// bounded (`maxHeldBytes`): the reading stops there as at its time.
class SalvageWalk {
public:
    struct Table {
        std::string name;
        size_t columns = 0;
        int rowidColumn = -1; // the column that is the rowid (INTEGER PRIMARY KEY), -1 for none
        size_t maxValueBytes = 16 << 20;
        std::uint64_t maxHeldBytes = std::uint64_t { 256 } << 20;
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

private:
    using CellFound = std::function<PageReader::Got(std::uint32_t page, PageReader::LeafCell& cell)>;
    // A cell found on a leaf off the tree, and how far it was read.
    struct Found {
        enum class State {
            Held,    // its payload's local part is held; its overflow chain is not followed yet
            Whole,   // its values are read
            Lost,    // its overflow chain did not read
            NotOurs, // its record is not a row of the table
        };
        std::int64_t rowid = 0;
        std::uint32_t page = 0;
        State state = State::Held;
        PageReader::LeafCell cell; // emptied once its values are read
        std::vector<SalvagedValue> values;
    };
    // What the scan's first pass found the pages nothing else accounts for to be.
    struct Pages {
        std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> trunks; // found by their look: the pages each lists
        std::vector<std::pair<std::uint32_t, std::vector<std::uint32_t>>> interiors; // tables' interior pages, their children
    };

    PageReader& m_reader;
    Table m_table;
    Counts m_counts;
    End m_end = End::Read;
    bool m_amiss = false;
    bool m_freeListWhole = false;
    std::uint64_t m_held = 0;
    std::unordered_set<std::uint32_t> m_known;    // pages of the trees walked, read or not
    std::unordered_set<std::uint32_t> m_overflow; // pages of the overflow chains followed
    std::unordered_set<std::uint32_t> m_free;     // pages of the free list, from the header
    std::unordered_set<std::uint32_t> m_btrees;   // b-tree pages the scan found, no page of a chain
    std::unordered_set<std::int64_t> m_onTree;    // rowids the table's tree gives

    // Walks a tree from `root`: true when every page of it read whole. `anyKind`: an index's tree,
    // or a table's whose cells are not read, is walked for its pages; otherwise only a table's
    // pages are. `reachedAgain` counts the pages it leads back to.
    bool walkTree(std::uint32_t root, bool anyKind, const CellFound& found, long long* reachedAgain);
    // Reads the rest of a cell's payload from its overflow chain, whose pages are accounted for
    // from then on: Page when it read (or there is none), Refused when a page of it did not or is
    // something else, or why the walk ends.
    PageReader::Got readOverflow(PageReader::LeafCell& cell, std::vector<std::uint32_t>* pages = nullptr);
    bool readSchema(std::int64_t& root, std::vector<std::uint32_t>& otherRoots);
    bool readFreeList();
    // Whether every page of the database is a page of a tree walked, of a chain followed or of the
    // free list.
    bool accountedFor() const;
    void scan(const Keep& keep);
    // The scan's first pass: what each page nothing accounts for is, and the cells of its leaves.
    void classify(Pages& pages, std::vector<Found>& found);
    // The scan's second pass: follows the chains of the cells on leaves that are not free, and
    // gives the pages that are, once those chains show which trunks found by their look are none.
    std::unordered_set<std::uint32_t> settleFree(const Pages& pages, std::vector<Found>& found);
    void offer(const Keep& keep, const Pages& pages, std::vector<Found>& found, const std::unordered_set<std::uint32_t>& free);
    bool hold(std::uint64_t bytes);
    bool stopped(PageReader::Got got);
    // The row's values in table order (the rowid filled in); none when it is not the table's
    // shape.
    std::optional<std::vector<SalvagedValue>> valuesOf(const PageReader::LeafCell& cell, bool exactShape) const;
};
