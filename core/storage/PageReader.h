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
// cell's payload at most `kMaxPayloadBytes`, an overflow chain no longer than its payload needs
// (so it ends even where it leads back), and a record's values no more than it is asked for.
// Nothing recurses. A malformed page or cell is answered with nothing, never read past.
//
// Where the header does not read (a bad sector on the first page) the page size is guessed from
// the pages that follow (the size at which most of them are b-tree pages whose cells, packed
// from the page's end, reach into its upper half: at twice the true size a page still looks
// like a b-tree page, with nothing in its upper half), with no bytes reserved, UTF-8 texts and the file's size for the database's.
class PageReader {
public:
    static constexpr std::uint64_t kMaxPayloadBytes = std::uint64_t { 64 } << 20;

    struct Header {
        bool read = false; // the first page read and holds a database's header
        std::uint32_t pageSize = 4096;
        std::uint32_t usable = 4096; // the page size less the bytes reserved at each page's end
        std::uint32_t pageCount = 0; // the database's pages: the header's count, no more than the file holds
        std::uint32_t freelistTrunk = 0;
        std::uint32_t freelistCount = 0;
        int encoding = 1; // 1: UTF-8, 2: UTF-16le, 3: UTF-16be
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

    // A table leaf's cell: its rowid and payload, whole once its overflow chain is read.
    struct LeafCell {
        std::int64_t rowid = 0;
        std::uint64_t payloadSize = 0;
        std::vector<std::uint8_t> payload; // the part on the leaf, then what the chain gives
        std::uint32_t firstOverflow = 0;   // 0: the payload lies whole on the leaf
    };

    // A free list's trunk page: the next trunk and the free pages it lists.
    struct Trunk {
        std::uint32_t next = 0;
        std::vector<std::uint32_t> leaves;
    };

    // `mayRead` is asked before every read of the source; a read it refuses gives Stopped.
    PageReader(PageSource& source, std::function<bool()> mayRead);

    // Reads the header (or guesses, see above), once: later calls give the first one's answer.
    // Page or Refused: the reading may go on.
    Got start();
    const Header& header() const { return m_header; }
    // The database's size: its header's page count times its page size, no more than the file's.
    std::uint64_t databaseBytes() const;

    // Page `number` (from 1), `pageSize` bytes.
    Got page(std::uint32_t number, std::vector<std::uint8_t>& into);

    std::optional<BTree> btree(std::uint32_t number, const std::vector<std::uint8_t>& bytes) const;
    // The children of a table's interior page in key order (the right-most last); none when a
    // cell is malformed.
    std::optional<std::vector<std::uint32_t>> children(const BTree& page, const std::vector<std::uint8_t>& bytes) const;
    // Cell `index` of a table leaf, its local part: none when malformed.
    std::optional<LeafCell> leafCell(const BTree& page, const std::vector<std::uint8_t>& bytes, size_t index) const;
    // Reads the rest of the cell's payload from its overflow chain, putting the pages it passes
    // into `chain`; Refused when a page of it does not read or does not fit.
    Got overflow(LeafCell& cell, std::vector<std::uint32_t>& chain);
    std::optional<Trunk> trunk(const std::vector<std::uint8_t>& bytes) const;

    // A record's values; none when it is malformed, holds more than `maxValues` values or a text
    // or blob longer than `maxValueBytes`.
    static std::optional<std::vector<SalvagedValue>> record(const std::uint8_t* payload, size_t size, size_t maxValues,
        size_t maxValueBytes);
    // A varint at `at` of the `end` bytes; none when it runs past them.
    static std::optional<std::uint64_t> varint(const std::uint8_t* bytes, size_t end, size_t& at);

private:
    PageSource& m_source;
    std::function<bool()> m_mayRead;
    Header m_header;
    std::optional<Got> m_started;

    Got readAt(std::uint64_t offset, size_t length, std::uint8_t* into);
    void guessPageSize();
    bool validHeader(const std::uint8_t* head);
};
