#include "core/storage/SalvageWalk.h"

#include <algorithm>
#include <map>

namespace {

constexpr std::uint8_t kTableInterior = 5;
constexpr std::uint8_t kTableLeaf = 13;
constexpr std::uint8_t kIndexInterior = 2;
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

bool sameValues(const std::vector<SalvagedValue>& one, const std::vector<SalvagedValue>& other)
{
    return std::equal(one.begin(), one.end(), other.begin(), other.end(), [](const SalvagedValue& a, const SalvagedValue& b) {
        return a.kind == b.kind && a.integer == b.integer && a.bytes == b.bytes && (a.kind != SalvagedValue::Kind::Real || a.real == b.real);
    });
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

bool SalvageWalk::hold(std::uint64_t bytes)
{
    m_held += bytes;
    if (m_held <= m_table.maxHeldBytes)
        return true;
    if (m_end == End::Read)
        m_end = End::Stopped;
    return false;
}

bool SalvageWalk::walkTree(std::uint32_t root, bool anyKind, const CellFound& found, long long* reachedAgain)
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
            m_amiss = true;
            if (reachedAgain)
                ++*reachedAgain;
            continue;
        }
        // A page on a free list that reads whole was freed after whatever leads to it was written.
        if (m_freeListWhole && m_free.count(number)) {
            whole = false;
            ++m_counts.freeOnTree;
            continue;
        }
        const auto got = m_reader.page(number, bytes);
        if (stopped(got))
            return false;
        const auto page = got == PageReader::Got::Page ? m_reader.btree(number, bytes) : std::nullopt;
        if (!page || (!anyKind && page->type != kTableInterior && page->type != kTableLeaf)) {
            whole = false;
            ++m_counts.damagedPages;
            continue;
        }
        if (page->type == kTableInterior || page->type == kIndexInterior) {
            const auto children = m_reader.children(*page, bytes);
            if (!children) {
                whole = false;
                ++m_counts.damagedPages;
                continue;
            }
            stack.insert(stack.end(), children->rbegin(), children->rend());
            continue;
        }
        if (page->type != kTableLeaf || !found)
            continue;
        for (size_t i = 0; i < page->cells.size(); ++i) {
            auto cell = m_reader.leafCell(*page, bytes, i);
            if (!cell) {
                // A leaf whose cells do not all read may be what a damaged interior page was.
                whole = false;
                if (!anyKind)
                    ++m_counts.leftOut;
                continue;
            }
            if (stopped(found(number, *cell)))
                return false;
        }
    }
    m_amiss = m_amiss || !whole;
    return whole;
}

PageReader::Got SalvageWalk::readOverflow(PageReader::LeafCell& cell, std::vector<std::uint32_t>* pages)
{
    if (!cell.firstOverflow)
        return PageReader::Got::Page;
    std::vector<std::uint32_t> chain;
    auto got = m_reader.overflow(cell, chain);
    // A page of a tree or of the free list is no page of this chain: the cell is stale or
    // damaged. (Two copies of one row may share a chain: a leaf freed as its cells moved keeps
    // copies of them.)
    if (got == PageReader::Got::Page
        && std::any_of(chain.begin(), chain.end(), [&](std::uint32_t page) {
               return m_known.count(page) || m_btrees.count(page) || (m_freeListWhole && m_free.count(page));
           }))
        got = PageReader::Got::Refused;
    if (got == PageReader::Got::Page)
        m_overflow.insert(chain.begin(), chain.end());
    else if (got == PageReader::Got::Refused)
        m_amiss = true;
    if (pages)
        *pages = std::move(chain);
    return got;
}

bool SalvageWalk::readSchema(std::int64_t& root, std::vector<std::uint32_t>& otherRoots)
{
    const std::string wanted = asciiName(m_table.name, 1);
    const int encoding = m_reader.header().encoding;
    bool whole = true;
    const bool walked = walkTree(1, false, [&](std::uint32_t, PageReader::LeafCell& cell) {
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
        const std::string type = (*values)[0].kind == SalvagedValue::Kind::Text ? asciiName((*values)[0].bytes, encoding) : "";
        if (type == "table" && (*values)[1].kind == SalvagedValue::Kind::Text && asciiName((*values)[1].bytes, encoding) == wanted)
            root = page;
        else if (type == "table" || type == "index")
            otherRoots.push_back(static_cast<std::uint32_t>(page));
        return PageReader::Got::Page;
    }, nullptr);
    m_amiss = m_amiss || !whole;
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

bool SalvageWalk::accountedFor() const
{
    const auto& header = m_reader.header();
    // Pages of pointer maps are not told apart here: such a file is read whole.
    if (!header.read || header.autoVacuum || !m_freeListWhole)
        return false;
    // The page holding the byte at 1 GiB is never used: file locks are taken on its bytes.
    const std::uint64_t lockPage = (std::uint64_t { 1 } << 30) / header.pageSize + 1;
    for (std::uint32_t number = 2; number <= header.pageCount; ++number) {
        if (number != lockPage && !m_known.count(number) && !m_overflow.count(number) && !m_free.count(number))
            return false;
    }
    return true;
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

void SalvageWalk::classify(Pages& pages, std::vector<Found>& found)
{
    const auto& header = m_reader.header();
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t number = 2; number <= header.pageCount; ++number) {
        if (m_known.count(number) || m_overflow.count(number) || m_free.count(number))
            continue;
        const auto got = m_reader.page(number, bytes);
        if (stopped(got))
            return;
        if (got != PageReader::Got::Page)
            continue;
        const auto page = m_reader.btree(number, bytes);
        if (!page) {
            const auto trunk = m_freeListWhole ? std::nullopt : m_reader.trunk(bytes);
            if (trunk && !trunk->leaves.empty() && trunk->next <= header.pageCount
                && std::all_of(trunk->leaves.begin(), trunk->leaves.end(),
                    [&](std::uint32_t leaf) { return leaf >= 2 && leaf <= header.pageCount && leaf != number; }))
                pages.trunks.emplace(number, std::move(trunk->leaves));
            continue;
        }
        m_btrees.insert(number);
        if (page->type == kTableInterior) {
            if (auto children = m_reader.children(*page, bytes))
                pages.interiors.emplace_back(number, std::move(*children));
            continue;
        }
        if (page->type != kTableLeaf)
            continue;
        for (size_t i = 0; i < page->cells.size(); ++i) {
            auto cell = m_reader.leafCell(*page, bytes, i);
            if (!cell || m_onTree.count(cell->rowid))
                continue;
            if (!hold(cell->payload.size()))
                return;
            Found copy { cell->rowid, number, Found::State::Held, std::move(*cell), {} };
            // A cell whose payload lies whole on its leaf is read at once; the others wait until
            // it is known whether their leaf is free.
            if (!copy.cell.firstOverflow) {
                auto values = valuesOf(copy.cell, true);
                if (!values)
                    continue;
                copy.values = std::move(*values);
                copy.state = Found::State::Whole;
                copy.cell.payload = {};
            }
            found.push_back(std::move(copy));
        }
    }
}

std::unordered_set<std::uint32_t> SalvageWalk::settleFree(const Pages& pages, std::vector<Found>& found)
{
    std::unordered_set<std::uint32_t> notTrunks;
    for (;;) {
        std::unordered_set<std::uint32_t> free = m_free;
        for (const auto& [trunk, listed] : pages.trunks) {
            if (!notTrunks.count(trunk)) {
                free.insert(trunk);
                free.insert(listed.begin(), listed.end());
            }
        }
        bool changed = false;
        for (auto& copy : found) {
            if (copy.state != Found::State::Held || free.count(copy.page) || m_end != End::Read)
                continue;
            std::vector<std::uint32_t> chain;
            const std::uint64_t local = copy.cell.payload.size();
            const auto got = readOverflow(copy.cell, &chain);
            if (stopped(got) || !hold(copy.cell.payload.size() - local) || got != PageReader::Got::Page) {
                // What was read of the chain is of no use: only a whole payload is a row.
                copy.cell.payload = {};
                if (got == PageReader::Got::Refused)
                    copy.state = Found::State::Lost;
                continue;
            }
            auto values = valuesOf(copy.cell, true);
            copy.state = values ? Found::State::Whole : Found::State::NotOurs;
            copy.values = values ? std::move(*values) : std::vector<SalvagedValue> {};
            copy.cell.payload = {};
            // A page of a kept cell's chain is no trunk, whatever it looks like.
            for (std::uint32_t page : chain)
                changed = (pages.trunks.count(page) && notTrunks.insert(page).second) || changed;
        }
        if (!changed)
            return free;
    }
}

void SalvageWalk::offer(const Keep& keep, const Pages& pages, std::vector<Found>& found, const std::unordered_set<std::uint32_t>& free)
{
    const auto& header = m_reader.header();
    // Where the header counts more free pages than were found, a free page may be among the
    // leaves found, and its rows would be deleted rows come back: none is taken.
    const bool freeKnown = !header.read || free.size() >= header.freelistCount;
    std::unordered_set<std::uint32_t> ledTo;
    for (const auto& [interior, children] : pages.interiors) {
        if (!free.count(interior))
            ledTo.insert(children.begin(), children.end());
    }
    std::map<std::int64_t, std::vector<Found*>> byRowid;
    for (auto& copy : found)
        byRowid[copy.rowid].push_back(&copy);
    for (auto& [rowid, copies] : byRowid) {
        // A copy on a free page is a deleted row or an older copy of a moved one: never taken,
        // and no reason to doubt a copy elsewhere.
        std::erase_if(copies, [&](const Found* copy) { return free.count(copy->page) > 0; });
        if (copies.empty()) {
            ++m_counts.deletedSkipped;
            continue;
        }
        // A copy whose chain did not read (or was never followed: the reading stopped first)
        // is lost; one that is not a row of the table is none.
        for (const Found* copy : copies)
            m_counts.overflowLost += copy->state == Found::State::Lost || copy->state == Found::State::Held;
        std::erase_if(copies, [](const Found* copy) { return copy->state != Found::State::Whole; });
        if (copies.empty())
            continue;
        if (!freeKnown) {
            ++m_counts.maybeDeleted;
            continue;
        }
        const auto agree = [](const std::vector<Found*>& all) {
            return std::all_of(all.begin() + 1, all.end(), [&](const Found* copy) { return sameValues(copy->values, all.front()->values); });
        };
        if (!agree(copies)) {
            std::erase_if(copies, [&](const Found* copy) { return !ledTo.count(copy->page); });
            if (copies.empty() || !agree(copies)) {
                ++m_counts.conflicting;
                continue;
            }
            ++m_counts.settled;
        }
        if (keep(rowid, copies.front()->values)) {
            ++m_counts.kept;
            ++m_counts.keptOffTree;
        } else {
            ++m_counts.leftOut;
        }
    }
}

void SalvageWalk::scan(const Keep& keep)
{
    m_counts.scanned = true;
    Pages pages;
    std::vector<Found> found;
    classify(pages, found);
    // A read that may pass ends the mend, to be made again: nothing is decided on half of it.
    if (m_end == End::Failed)
        return;
    const auto free = settleFree(pages, found);
    offer(keep, pages, found, free);
}

SalvageWalk::End SalvageWalk::run(const Keep& keep)
{
    const auto started = m_reader.start();
    if (stopped(started))
        return m_end;
    std::int64_t root = 0;
    std::vector<std::uint32_t> otherRoots;
    if (m_reader.header().read) {
        // The free list first: a page on it is none of a tree's, whatever leads to it.
        m_freeListWhole = readFreeList();
        if (m_end != End::Read)
            return m_end;
        m_counts.schemaRead = readSchema(root, otherRoots);
        if (m_end != End::Read)
            return m_end;
    }
    if (root > 0) {
        walkTree(static_cast<std::uint32_t>(root), false, [&](std::uint32_t, PageReader::LeafCell& cell) {
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
    // The pages of the other tables and indexes, and their rows' overflow chains, are theirs,
    // not leaves cut off from this table's tree.
    for (std::uint32_t other : otherRoots) {
        walkTree(other, true, [&](std::uint32_t, PageReader::LeafCell& cell) {
            const auto got = readOverflow(cell);
            return got == PageReader::Got::Refused ? PageReader::Got::Page : got;
        }, nullptr);
        if (m_end != End::Read)
            return m_end;
    }
    if (m_counts.schemaRead && !m_amiss && accountedFor())
        return m_end;
    scan(keep);
    return m_end;
}
