#pragma once

#include "core/storage/PageSource.h"
#include "core/storage/SalvagedValue.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// Reads the pages of a damaged SQLite file itself, by the file format SQLite documents: the
// 100-byte header, b-tree pages (their headers, cell pointers and cells), varints, records and
// overflow chains, and the free list. Every byte it reads is untrusted: each offset and length
// is checked against the page it lies in before it is used, a varint is at most nine bytes, a
// cell's payload at most `kMaxPayloadBytes` and no more than the database's other pages could
// hold, an overflow chain never passes a page twice (so it ends even where it leads back), and a
// record's values no more than it is asked for. Nothing recurses. A malformed page or cell is
// answered with nothing, never read past.
//
// The page size is taken only where pages read as pages at that size: where every byte of a
// page is accounted for (its header, cell pointers, cells of the lengths they give, free blocks
// and the fragments it counts; `wellFormed`, the check SQLite's own integrity check makes of a
// page). Read at twice its size, a page leaves its upper half unaccounted for; at half its size,
// its cells run off the end. The header's size is trusted when the first page is well formed at
// it; otherwise (the first page overwritten, or its size bytes wrong), and where the header does
// not read at all, the size is the one at which the most bytes of the pages that follow are well
// formed pages (the header's, when none are). The bytes reserved at each page's end (a
// checksumming file layer keeps some there) are found the same way: a page is well formed only
// with its true tail left out, so each size is tried with the tails its pages show (and the
// header's, and none). Where the header does not read, texts are taken as UTF-8, and the file's
// data for the database's.
//
// Reads are asked of `mayRead`; while the caller says it reads pages again (`setReadingAgain`), of
// `mayReadAgain` where one is given: a mend bounds its first reading of the file by time, while a
// second reading of pages it has read once is bounded by those pages.
class PageReader {
public:
    static constexpr std::uint64_t kMaxPayloadBytes = std::uint64_t { 64 } << 20;

    struct Header {
        bool read = false; // the first page read and holds a database's header
        std::uint32_t pageSize = 4096;
        std::uint32_t usable = 4096; // the page size less the bytes reserved at each page's end
        std::uint32_t pageCount = 0; // the database's pages: the header's count, no more than the file's data holds
        std::uint32_t freelistTrunk = 0;
        std::uint32_t freelistCount = 0;
        int encoding = 1; // 1: UTF-8, 2: UTF-16le, 3: UTF-16be
        bool autoVacuum = false; // pages of pointer maps lie among the others
        bool pageSizeFromPages = false; // the page size (and reserved tail) was found from the pages, not the header
    };

    enum class Got {
        Page,    // read
        Refused, // not there (a bad sector, past the end, a page number out of range)
        Failed,  // a read failed for a reason that may pass
        Stopped, // `mayRead` said no
    };

    // A b-tree page's header: its kind, where its cell pointers lie, and its cells' offsets
    // (each within the page).
    struct BTree {
        std::uint8_t type = 0; // 2, 5, 10, 13: index interior, table interior, index leaf, table leaf
        std::uint32_t rightChild = 0;
        std::vector<std::uint16_t> cells;
    };

    // A table leaf's cell, as it lies on its page: its rowid, where the part of its payload on
    // the page lies, and the first page of the chain holding the rest.
    struct Cell {
        std::int64_t rowid = 0;
        std::uint64_t payloadSize = 0;
        std::uint32_t local = 0;         // the offset of the payload's first byte on the page
        std::uint32_t localSize = 0;     // the payload's bytes on the page
        std::uint32_t firstOverflow = 0; // 0: the payload lies whole on the page
    };

    // A free list's trunk page: the next trunk and the free pages it lists.
    struct Trunk {
        std::uint32_t next = 0;
        std::vector<std::uint32_t> leaves;
    };

    // `mayRead` is asked before every read of the source; a read it refuses gives Stopped.
    PageReader(PageSource& source, std::function<bool()> mayRead, std::function<bool()> mayReadAgain = {});
    // Whether the pages read from now on are read again (see above).
    void setReadingAgain(bool again) { m_again = again; }

    // Reads the header (or guesses, see above), once: later calls give the first one's answer.
    // Page or Refused: the reading may go on.
    Got start();
    const Header& header() const { return m_header; }
    // The database's size: its header's page count times its page size, no more than the file's
    // data (a sparse tail counts nothing).
    std::uint64_t databaseBytes() const;

    // Page `number` (from 1), `pageSize` bytes.
    Got page(std::uint32_t number, std::vector<std::uint8_t>& into);

    std::optional<BTree> btree(std::uint32_t number, const std::vector<std::uint8_t>& bytes) const;
    // Whether every byte of the b-tree page `number` is accounted for (see above).
    bool wellFormed(std::uint32_t number, const std::vector<std::uint8_t>& bytes) const;
    // The children of an interior page (a table's or an index's) in key order (the right-most
    // last); none when a cell is malformed.
    std::optional<std::vector<std::uint32_t>> children(const BTree& page, const std::vector<std::uint8_t>& bytes) const;
    // Cell `index` of a table leaf: none when malformed or when its payload is longer than
    // `kMaxPayloadBytes`.
    std::optional<Cell> cell(const BTree& page, const std::vector<std::uint8_t>& bytes, size_t index) const;
    // The payload bytes an overflow page holds (past its pointer to the next).
    std::uint32_t overflowRoom() const { return m_header.usable - 4; }
    std::optional<Trunk> trunk(const std::vector<std::uint8_t>& bytes) const;

    // A record's values; none when it is malformed, holds more than `maxValues` values or a text
    // or blob longer than `maxValueBytes`.
    static std::optional<std::vector<SalvagedValue>> record(const std::uint8_t* payload, size_t size, size_t maxValues,
        size_t maxValueBytes);
    // The number of values of a well formed record (as `record` would read it), without reading
    // them.
    static std::optional<size_t> recordValues(const std::uint8_t* payload, size_t size, size_t maxValues, size_t maxValueBytes);
    // A varint at `at` of the `end` bytes; none when it runs past them.
    static std::optional<std::uint64_t> varint(const std::uint8_t* bytes, size_t end, size_t& at);

private:
    PageSource& m_source;
    std::function<bool()> m_mayRead;
    std::function<bool()> m_mayReadAgain;
    bool m_again = false;
    Header m_header;
    std::uint64_t m_headerCount = 0; // the header's page count; 0 where the file gives it
    std::optional<Got> m_started;
    std::optional<Got> m_interrupted; // why the search for the page size ended early

    Got readAt(std::uint64_t offset, size_t length, std::uint8_t* into);
    struct Layout {
        std::uint32_t size = 0; // 0: none found
        std::uint32_t reserved = 0;
    };
    // The size and reserved tail at which the most bytes of the pages from `first` on, in the
    // file's first MiB, are well formed (the header's tail, where it reads, is one tried).
    Layout layoutFromPages(std::uint32_t first, std::optional<std::uint32_t> headerReserved);
    // Takes `size` as the page size: the page count follows (the header's, no more than the file's
    // data holds at that size).
    void setPageSize(std::uint32_t size, std::uint32_t reserved);
    bool validHeader(const std::uint8_t* head);
};
