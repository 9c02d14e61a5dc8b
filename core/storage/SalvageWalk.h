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
// rowids are spread:
// - The schema (the tree on the first page) gives the table's root; the table's tree is walked
//   from it, each page once (a tree that leads back to a page already read is not read again),
//   and the rows of each leaf it reaches are offered in turn.
// - Where some page of the schema or of the table's tree does not read (refused, or not a
//   b-tree page of a table, or a cell that runs off it), leaves may lie that no readable page
//   leads to: then every other page of the database is read, and the table leaves among them
//   give their rows too. Pages known to be something else are not: those of the other tables'
//   trees, overflow pages, and the free list's pages. The free list is read from the header;
//   where it does not read whole (its header or a trunk page gone), pages that look like its
//   trunks (none of a b-tree's kinds, listing only pages of the database) count as its too.
//   A free page keeps the rows it held when it was freed (unless SQLite zeroed it), and they are
//   deleted rows: never offered. So where the header counts more free pages than were found, no
//   leaf off the tree is taken at all (any may be free); where the header itself does not read,
//   the pages that look like trunks are all that is known of the free list. With no schema (the first page gone) the table's rows are
//   known by their shape: as many values as the table has columns.
// - A rowid found twice: the copy the tree reaches wins; two copies on pages the tree does not
//   reach that differ are both left out, as either may be the older one.
// - Only a cell's pointer leads to a cell: the bytes of rows deleted from a leaf, which lie in
//   its free space, are never read.
// - A cell's overflow chain is followed; where a page of it does not read, only that row is lost.
// The reader's `mayRead` bounds the walk (its time, and an end asked for): a read it refuses
// ends the walk at once, with what was offered by then.
class SalvageWalk {
public:
    struct Table {
        std::string name;
        size_t columns = 0;
        int rowidColumn = -1; // the column that is the rowid (INTEGER PRIMARY KEY), -1 for none
        size_t maxValueBytes = 16 << 20;
    };
    // Offered a row (its values in table order, the rowid's column filled in); answers whether
    // it was kept (the table's manager found it whole).
    using Keep = std::function<bool(std::int64_t rowid, const std::vector<SalvagedValue>& values)>;

    enum class End {
        Read,    // every page the walk meant to read was read, or refused
        Stopped, // `mayRead` refused a read
        Failed,  // a read failed for a reason that may pass
    };

    struct Counts {
        long long kept = 0;
        long long leftOut = 0;         // rows read that were not whole, or malformed
        long long overflowLost = 0;    // rows whose overflow chain did not read
        long long reachedAgain = 0;    // pages the table's tree led back to
        long long damagedPages = 0;    // pages of the schema or the tree that did not read
        long long keptOffTree = 0;     // rows kept from leaves no readable page leads to
        long long conflicting = 0;     // rowids left out, found differing on such leaves
        long long deletedSkipped = 0;  // rows off the tree on free pages, never offered
        long long maybeDeleted = 0;    // rows off the tree not offered since the free list did not read whole
        bool schemaRead = false;       // the schema read whole
        bool scanned = false;          // every page was read for leaves no page leads to
    };

    SalvageWalk(PageReader& reader, Table table);
    End run(const Keep& keep);
    const Counts& counts() const { return m_counts; }

private:
    using CellFound = std::function<PageReader::Got(std::uint32_t page, PageReader::LeafCell& cell)>;
    struct Candidate {
        std::vector<SalvagedValue> values;
        std::uint32_t page = 0;
    };

    PageReader& m_reader;
    Table m_table;
    Counts m_counts;
    End m_end = End::Read;
    std::unordered_set<std::uint32_t> m_known; // pages read, or known to be something else
    std::unordered_set<std::uint32_t> m_free;
    std::unordered_set<std::int64_t> m_onTree; // rowids the table's tree gives
    std::vector<std::uint8_t> m_bytes;

    // Walks a table's tree from `root`: true when every page of it read whole. `reachedAgain`
    // counts the pages it leads back to.
    bool walkTree(std::uint32_t root, const CellFound& found, long long* reachedAgain);
    // Reads the rest of a cell's payload from its overflow chain, whose pages are known from then
    // on: Page when it read (or there is none), Refused when a page of it did not, or why the walk
    // ends.
    PageReader::Got readOverflow(PageReader::LeafCell& cell);
    bool readSchema(std::int64_t& root, std::vector<std::uint32_t>& otherRoots);
    bool readFreeList();
    void scan(const Keep& keep);
    bool stopped(PageReader::Got got);
    // The row's values in table order (the rowid filled in); none when it is not the table's
    // shape.
    std::optional<std::vector<SalvagedValue>> valuesOf(const PageReader::LeafCell& cell, bool exactShape) const;
};
