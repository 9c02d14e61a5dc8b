#include "core/storage/SalvageWalk.h"

#include <algorithm>
#include <map>

namespace {

constexpr std::uint8_t kTableInterior = 5;
constexpr std::uint8_t kTableLeaf = 13;
// The schema's columns: type, name, tbl_name, rootpage, sql.
constexpr size_t kSchemaColumns = 5;

// A name as the file holds it, in its encoding, in lower case; empty when not all ASCII.
std::string asciiName(const std::string& bytes, int encoding)
{
    std::string name;
    if (encoding == 1) {
        name = bytes;
    } else {
        if (bytes.size() % 2)
            return {};
        for (size_t i = 0; i < bytes.size(); i += 2) {
            const char low = encoding == 2 ? bytes[i] : bytes[i + 1];
            const char high = encoding == 2 ? bytes[i + 1] : bytes[i];
            if (high != 0)
                return {};
            name += low;
        }
    }
    for (char& c : name) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return {};
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return name;
}

}

SalvageWalk::SalvageWalk(PageReader& reader, Table table)
    : m_reader(reader)
    , m_table(std::move(table))
{
}

bool SalvageWalk::stopped(PageReader::Got got)
{
    if (got == PageReader::Got::Stopped)
        m_end = End::Stopped;
    else if (got == PageReader::Got::Failed)
        m_end = End::Failed;
    return m_end != End::Read;
}

bool SalvageWalk::walkTree(std::uint32_t root, const CellFound& found, long long* reachedAgain)
{
    bool whole = true;
    std::vector<std::uint32_t> stack { root };
    std::vector<std::uint8_t> bytes;
    // Each page is taken once, whatever leads to it, so the stack holds no more than the pages
    // of the database and the walk ends.
    while (!stack.empty()) {
        const std::uint32_t number = stack.back();
        stack.pop_back();
        if (!m_known.insert(number).second) {
            if (reachedAgain)
                ++*reachedAgain;
            continue;
        }
        const auto got = m_reader.page(number, bytes);
        if (stopped(got))
            return false;
        const auto page = got == PageReader::Got::Page ? m_reader.btree(number, bytes) : std::nullopt;
        if (!page || (page->type != kTableInterior && page->type != kTableLeaf)) {
            whole = false;
            ++m_counts.damagedPages;
            continue;
        }
        if (page->type == kTableInterior) {
            const auto children = m_reader.children(*page, bytes);
            if (!children) {
                whole = false;
                ++m_counts.damagedPages;
                continue;
            }
            stack.insert(stack.end(), children->rbegin(), children->rend());
            continue;
        }
        for (size_t i = 0; i < page->cells.size(); ++i) {
            auto cell = m_reader.leafCell(*page, bytes, i);
            if (!cell) {
                // A leaf whose cells do not all read may be what a damaged interior page was.
                whole = false;
                ++m_counts.leftOut;
                continue;
            }
            if (found && stopped(found(number, *cell)))
                return false;
        }
    }
    return whole;
}

PageReader::Got SalvageWalk::readOverflow(PageReader::LeafCell& cell)
{
    if (!cell.firstOverflow)
        return PageReader::Got::Page;
    std::vector<std::uint32_t> chain;
    const auto got = m_reader.overflow(cell, chain);
    // An overflow page is no leaf cut off from the tree, whether its chain read or not.
    m_known.insert(chain.begin(), chain.end());
    return got;
}

bool SalvageWalk::readSchema(std::int64_t& root, std::vector<std::uint32_t>& otherRoots)
{
    const std::string wanted = asciiName(m_table.name, 1);
    const int encoding = m_reader.header().encoding;
    bool whole = true;
    const bool walked = walkTree(1, [&](std::uint32_t, PageReader::LeafCell& cell) {
        if (const auto got = readOverflow(cell); got != PageReader::Got::Page) {
            if (got == PageReader::Got::Refused)
                whole = false;
            return got == PageReader::Got::Refused ? PageReader::Got::Page : got;
        }
        const auto values = PageReader::record(cell.payload.data(), cell.payload.size(), kSchemaColumns, PageReader::kMaxPayloadBytes);
        if (!values || values->size() < 4 || (*values)[3].kind != SalvagedValue::Kind::Integer) {
            whole = false;
            return PageReader::Got::Page;
        }
        const std::int64_t page = (*values)[3].integer;
        if (page <= 0 || page > 0x7FFF'FFFF)
            return PageReader::Got::Page;
        const bool table = (*values)[0].kind == SalvagedValue::Kind::Text && asciiName((*values)[0].bytes, encoding) == "table";
        if (table && (*values)[1].kind == SalvagedValue::Kind::Text && asciiName((*values)[1].bytes, encoding) == wanted)
            root = page;
        else if (table)
            otherRoots.push_back(static_cast<std::uint32_t>(page));
        return PageReader::Got::Page;
    }, nullptr);
    return walked && whole;
}

bool SalvageWalk::readFreeList()
{
    const auto& header = m_reader.header();
    if (!header.read)
        return false;
    std::uint64_t counted = 0;
    std::vector<std::uint8_t> bytes;
    std::unordered_set<std::uint32_t> trunks;
    for (std::uint32_t next = header.freelistTrunk; next != 0;) {
        // A chain that leads back, or lists more pages than the database has, does not read.
        if (!trunks.insert(next).second || counted > header.pageCount)
            return false;
        m_free.insert(next);
        ++counted;
        const auto got = m_reader.page(next, bytes);
        if (stopped(got) || got != PageReader::Got::Page)
            return false;
        const auto trunk = m_reader.trunk(bytes);
        if (!trunk)
            return false;
        for (std::uint32_t leaf : trunk->leaves)
            m_free.insert(leaf);
        counted += trunk->leaves.size();
        next = trunk->next;
    }
    return counted == header.freelistCount;
}

std::optional<std::vector<SalvagedValue>> SalvageWalk::valuesOf(const PageReader::LeafCell& cell, bool exactShape) const
{
    auto values = PageReader::record(cell.payload.data(), cell.payload.size(), m_table.columns, m_table.maxValueBytes);
    if (!values || (exactShape && values->size() != m_table.columns))
        return std::nullopt;
    // Columns added to the table after a row was written are not in its record.
    values->resize(m_table.columns);
    if (m_table.rowidColumn >= 0 && static_cast<size_t>(m_table.rowidColumn) < values->size()) {
        auto& id = (*values)[static_cast<size_t>(m_table.rowidColumn)];
        id.kind = SalvagedValue::Kind::Integer;
        id.integer = cell.rowid;
        id.bytes.clear();
    }
    return values;
}

void SalvageWalk::scan(const Keep& keep)
{
    m_counts.scanned = true;
    const auto& header = m_reader.header();
    // A trunk page found only by its look lists free pages too, where the free list did not
    // read whole.
    const bool freeListWhole = readFreeList();
    if (m_end != End::Read)
        return;
    // Every copy of a rowid found, by page: which pages are free is known only at the end.
    std::map<std::int64_t, std::vector<Candidate>> found;
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t number = 2; number <= header.pageCount; ++number) {
        if (m_known.count(number) || m_free.count(number))
            continue;
        const auto got = m_reader.page(number, bytes);
        if (stopped(got))
            return;
        if (got != PageReader::Got::Page)
            continue;
        const auto page = m_reader.btree(number, bytes);
        if (!page) {
            const auto trunk = freeListWhole ? std::nullopt : m_reader.trunk(bytes);
            if (trunk && !trunk->leaves.empty() && trunk->next <= header.pageCount
                && std::all_of(trunk->leaves.begin(), trunk->leaves.end(),
                    [&](std::uint32_t leaf) { return leaf >= 2 && leaf <= header.pageCount && leaf != number; })) {
                m_free.insert(number);
                m_free.insert(trunk->leaves.begin(), trunk->leaves.end());
            }
            continue;
        }
        if (page->type != kTableLeaf)
            continue;
        for (size_t i = 0; i < page->cells.size(); ++i) {
            auto cell = m_reader.leafCell(*page, bytes, i);
            if (!cell || m_onTree.count(cell->rowid))
                continue;
            if (const auto read = readOverflow(*cell); read != PageReader::Got::Page) {
                if (stopped(read))
                    return;
                ++m_counts.overflowLost;
                continue;
            }
            auto values = valuesOf(*cell, true);
            if (!values)
                continue;
            found[cell->rowid].push_back(Candidate { std::move(*values), number });
        }
    }
    // Where the header counts more free pages than were found, a free page may be among the
    // leaves found, and its rows would be deleted bookings come back: none is taken.
    const bool freeKnown = !header.read || m_free.size() >= header.freelistCount;
    const auto same = [](const std::vector<SalvagedValue>& one, const std::vector<SalvagedValue>& other) {
        return std::equal(one.begin(), one.end(), other.begin(), other.end(), [](const SalvagedValue& a, const SalvagedValue& b) {
            return a.kind == b.kind && a.integer == b.integer && a.bytes == b.bytes
                && (a.kind != SalvagedValue::Kind::Real || a.real == b.real);
        });
    };
    for (auto& entry : found) {
        const std::int64_t rowid = entry.first;
        auto& copies = entry.second;
        // A copy on a free page is a deleted row or an older copy of a moved one: never taken,
        // and no reason to doubt a copy elsewhere.
        std::erase_if(copies, [&](const Candidate& copy) { return m_free.count(copy.page) > 0; });
        if (copies.empty()) {
            ++m_counts.deletedSkipped;
        } else if (!freeKnown) {
            ++m_counts.maybeDeleted;
        } else if (!std::all_of(copies.begin() + 1, copies.end(),
                       [&](const Candidate& copy) { return same(copy.values, copies.front().values); })) {
            ++m_counts.conflicting;
        } else if (keep(rowid, copies.front().values)) {
            ++m_counts.kept;
            ++m_counts.keptOffTree;
        } else {
            ++m_counts.leftOut;
        }
    }
}

SalvageWalk::End SalvageWalk::run(const Keep& keep)
{
    const auto started = m_reader.start();
    if (stopped(started))
        return m_end;
    std::int64_t root = 0;
    std::vector<std::uint32_t> otherRoots;
    if (m_reader.header().read) {
        m_counts.schemaRead = readSchema(root, otherRoots);
        if (m_end != End::Read)
            return m_end;
    }
    bool treeWhole = false;
    if (root > 0) {
        treeWhole = walkTree(static_cast<std::uint32_t>(root), [&](std::uint32_t, PageReader::LeafCell& cell) {
            if (const auto got = readOverflow(cell); got != PageReader::Got::Page) {
                if (got == PageReader::Got::Refused)
                    ++m_counts.overflowLost;
                return got == PageReader::Got::Refused ? PageReader::Got::Page : got;
            }
            // The tree's copy of a rowid is the live one, whole or not.
            const bool first = m_onTree.insert(cell.rowid).second;
            const auto values = valuesOf(cell, false);
            if (first && values && keep(cell.rowid, *values))
                ++m_counts.kept;
            else
                ++m_counts.leftOut;
            return PageReader::Got::Page;
        }, &m_counts.reachedAgain);
        if (m_end != End::Read)
            return m_end;
    } else if (m_counts.schemaRead) {
        // The schema read whole and does not name the table: it holds no rows.
        return m_end;
    }
    if (m_counts.schemaRead && treeWhole)
        return m_end;
    // Pages the other tables' trees hold are theirs, not leaves cut off from this one.
    for (std::uint32_t other : otherRoots) {
        walkTree(other, nullptr, nullptr);
        if (m_end != End::Read)
            return m_end;
    }
    scan(keep);
    return m_end;
}
