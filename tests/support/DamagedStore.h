#pragma once

#include "core/records/GiftDetailInfo.h"
#include "core/storage/DataBaseManager.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Value.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace testsupport {

// Damaged booked-store files made the way a disk or a stray write damages them: one b-tree page
// of the bookings' table overwritten whole, or only its array of cell pointers.
namespace damagedstore {

    enum class Damage {
        WholePage,
        CellPointers,          // aimed at random places of the page: reading it mostly fails
        CellPointersAtNothing, // aimed at the page's free space: SQLite reads empty rows there
    };

    inline const char* nameOf(Damage damage)
    {
        switch (damage) {
        case Damage::WholePage:
            return "whole page";
        case Damage::CellPointers:
            return "cell pointers";
        case Damage::CellPointersAtNothing:
            return "cell pointers at the free space";
        }
        return "";
    }

    inline size_t pageSizeOf(const pf::Bytes& file)
    {
        size_t size = (size_t { file.at(16) } << 8) | file.at(17);
        return size == 1 ? 65536 : size;
    }

    inline std::uint64_t varint(const std::uint8_t* p, size_t* length)
    {
        std::uint64_t value = 0;
        for (size_t i = 0; i < 8; ++i) {
            value = (value << 7) | (p[i] & 0x7F);
            if (!(p[i] & 0x80)) {
                *length = i + 1;
                return value;
            }
        }
        *length = 9;
        return (value << 8) | p[8];
    }

    // A leaf page of a table (past page 1, which holds the schema) and the rowids it holds.
    struct Leaf {
        size_t number = 0; // from 1, as SQLite counts
        std::vector<std::int64_t> rowids;
    };

    inline std::vector<Leaf> tableLeaves(const pf::Bytes& file)
    {
        const size_t pageSize = pageSizeOf(file);
        std::vector<Leaf> leaves;
        for (size_t number = 2; number * pageSize <= file.size(); ++number) {
            const std::uint8_t* page = file.data() + (number - 1) * pageSize;
            if (page[0] != 0x0D)
                continue;
            Leaf leaf { number, {} };
            const size_t cells = (size_t { page[3] } << 8) | page[4];
            for (size_t i = 0; i < cells; ++i) {
                size_t offset = (size_t { page[8 + 2 * i] } << 8) | page[9 + 2 * i];
                size_t length = 0;
                varint(page + offset, &length); // the payload's size
                leaf.rowids.push_back(static_cast<std::int64_t>(varint(page + offset + length, &length)));
            }
            leaves.push_back(leaf);
        }
        return leaves;
    }

    // Overwrites the leaf with bytes of a fixed pseudo-random sequence.
    inline void damage(pf::Bytes& file, const Leaf& leaf, Damage how)
    {
        const size_t pageSize = pageSizeOf(file);
        std::uint8_t* page = file.data() + (leaf.number - 1) * pageSize;
        std::mt19937 noise(static_cast<unsigned>(leaf.number * 7919));
        if (how == Damage::WholePage) {
            for (size_t i = 0; i < pageSize; ++i)
                page[i] = static_cast<std::uint8_t>(noise());
            return;
        }
        // Pointers that still lie inside the page, so SQLite follows them into the middle of
        // other cells, or into the zeros between the pointers and the cells.
        const size_t cells = leaf.rowids.size();
        const size_t freeStart = 8 + 2 * cells;
        const size_t freeEnd = (size_t { page[5] } << 8) | page[6];
        if (how == Damage::CellPointersAtNothing) {
            assert(freeStart + 8 * (cells + 1) <= freeEnd);
            std::fill(page + freeStart, page + freeEnd, 0);
        }
        for (size_t i = 0; i < cells; ++i) {
            const auto offset = static_cast<std::uint16_t>(
                how == Damage::CellPointers ? 12 + noise() % (pageSize - 24) : freeStart + 8 * (i + 1));
            page[8 + 2 * i] = static_cast<std::uint8_t>(offset >> 8);
            page[9 + 2 * i] = static_cast<std::uint8_t>(offset & 0xFF);
        }
    }

    // Every booking as it lies in the file: per row, each column's kind and bytes, by fid.
    using StoredRow = std::vector<std::pair<int, std::string>>;
    inline std::map<std::int64_t, StoredRow> storedRows(const std::string& path)
    {
        SQLite::Database db(path, SQLite::OPEN_READONLY);
        SQLite::Statement query(db, "SELECT * FROM GiftDetailInfoTableName ORDER BY fid");
        std::map<std::int64_t, StoredRow> rows;
        while (query.executeStep()) {
            StoredRow row;
            for (int i = 0; i < query.getColumnCount(); ++i) {
                SQLite::Column column = query.getColumn(i);
                const auto* bytes = static_cast<const char*>(column.getBlob());
                row.emplace_back(column.getType(), std::string(bytes ? bytes : "", static_cast<size_t>(column.getBytes())));
            }
            rows[query.getColumn(0).getInt64()] = row;
        }
        return rows;
    }

    // The copy set aside, as the line that reports the mending names it ("" when none does).
    inline std::string asideNamedInLog()
    {
        const std::string marker = "the damaged file was set aside at ";
        for (const auto& line : pf::Log::captured()) {
            auto at = line.find(marker);
            if (at != std::string::npos)
                return line.substr(at + marker.size(), line.find(';', at) - at - marker.size());
        }
        return "";
    }

}

}
