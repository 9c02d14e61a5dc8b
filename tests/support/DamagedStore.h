#pragma once

#include "platform/foundation/Value.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Booked-store files damaged the way a disk or a stray write damages them: one leaf page of the
// bookings' table overwritten whole, or only its cell pointers, aimed at the page's free space
// (SQLite then reads rows of nothing there, without a word).
namespace testsupport::damagedstore {

enum class Damage { WholePage, CellPointers };

inline size_t pageSizeOf(const pf::Bytes& file)
{
    size_t size = (size_t { file.at(16) } << 8) | file.at(17);
    return size == 1 ? 65536 : size;
}

inline std::uint64_t varint(const std::uint8_t*& p)
{
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i, ++p) {
        value = (value << 7) | (*p & 0x7F);
        if (!(*p & 0x80))
            return ++p, value;
    }
    return (value << 8) | *p++;
}

// A leaf page of a table past page 1 (the schema's), numbered from 1, and the rowids it holds.
struct Leaf {
    size_t number = 0;
    std::vector<std::int64_t> rowids;
};

// The rowids of a leaf page past page 1, in the order of its cells.
inline std::vector<std::int64_t> leafRowids(const pf::Bytes& file, size_t number)
{
    const std::uint8_t* page = file.data() + (number - 1) * pageSizeOf(file);
    std::vector<std::int64_t> rowids;
    for (size_t i = 0; i < ((size_t { page[3] } << 8) | page[4]); ++i) {
        const std::uint8_t* cell = page + ((size_t { page[8 + 2 * i] } << 8) | page[9 + 2 * i]);
        varint(cell); // the payload's size
        rowids.push_back(static_cast<std::int64_t>(varint(cell)));
    }
    return rowids;
}

inline std::vector<Leaf> tableLeaves(const pf::Bytes& file)
{
    const size_t pageSize = pageSizeOf(file);
    std::vector<Leaf> leaves;
    for (size_t number = 2; number * pageSize <= file.size(); ++number) {
        if (file[(number - 1) * pageSize] == 0x0D)
            leaves.push_back({ number, leafRowids(file, number) });
    }
    return leaves;
}

inline void damage(pf::Bytes& file, const Leaf& leaf, Damage how)
{
    const size_t pageSize = pageSizeOf(file);
    std::uint8_t* page = file.data() + (leaf.number - 1) * pageSize;
    if (how == Damage::WholePage) {
        for (size_t i = 0; i < pageSize; ++i)
            page[i] = static_cast<std::uint8_t>(i * 131 + 7);
        return;
    }
    const size_t freeStart = 8 + 2 * leaf.rowids.size();
    std::fill(page + freeStart, page + ((size_t { page[5] } << 8) | page[6]), 0);
    for (size_t i = 0; i < leaf.rowids.size(); ++i) {
        const size_t offset = freeStart + 8 * (i + 1);
        page[8 + 2 * i] = static_cast<std::uint8_t>(offset >> 8);
        page[9 + 2 * i] = static_cast<std::uint8_t>(offset & 0xFF);
    }
}

// The child pages of an interior page of a table, in key order (the right-most last), and where
// in the file each one's number lies.
struct Child {
    size_t number = 0;
    size_t at = 0;
};

inline std::uint32_t bigEndian32(const std::uint8_t* p)
{
    return (std::uint32_t { p[0] } << 24) | (std::uint32_t { p[1] } << 16) | (std::uint32_t { p[2] } << 8) | p[3];
}

inline std::vector<Child> childrenOf(const pf::Bytes& file, size_t number)
{
    const size_t pageSize = pageSizeOf(file);
    const size_t start = (number - 1) * pageSize;
    const size_t header = start + (number == 1 ? 100 : 0);
    std::vector<Child> children;
    if (file.at(header) != 0x05)
        return children;
    const size_t cells = (size_t { file.at(header + 3) } << 8) | file.at(header + 4);
    for (size_t i = 0; i < cells; ++i) {
        const size_t cell = start + ((size_t { file.at(header + 12 + 2 * i) } << 8) | file.at(header + 13 + 2 * i));
        children.push_back({ bigEndian32(&file.at(cell)), cell });
    }
    children.push_back({ bigEndian32(&file.at(header + 8)), header + 8 });
    return children;
}

// The rowids held by the leaves below a page of a table's tree (the page itself when a leaf).
inline std::vector<std::int64_t> rowidsBelow(const pf::Bytes& file, size_t number)
{
    auto children = childrenOf(file, number);
    if (children.empty())
        return leafRowids(file, number);
    std::vector<std::int64_t> rowids;
    for (const auto& child : children) {
        auto below = rowidsBelow(file, child.number);
        rowids.insert(rowids.end(), below.begin(), below.end());
    }
    return rowids;
}

inline void pointAt(pf::Bytes& file, const Child& child, size_t number)
{
    for (int i = 0; i < 4; ++i)
        file.at(child.at + i) = static_cast<std::uint8_t>(number >> (24 - 8 * i));
}

// Every booking as it lies in the file, by fid: each column's kind and bytes.
inline std::map<std::int64_t, std::vector<std::pair<int, std::string>>> storedRows(const std::string& path)
{
    SQLite::Database db(path, SQLite::OPEN_READONLY);
    SQLite::Statement query(db, "SELECT * FROM GiftDetailInfoTableName");
    std::map<std::int64_t, std::vector<std::pair<int, std::string>>> rows;
    while (query.executeStep()) {
        auto& row = rows[query.getColumn(0).getInt64()];
        for (int i = 0; i < query.getColumnCount(); ++i) {
            const auto* bytes = static_cast<const char*>(query.getColumn(i).getBlob());
            row.emplace_back(query.getColumn(i).getType(), std::string(bytes ? bytes : "", query.getColumn(i).getBytes()));
        }
    }
    return rows;
}

}
