#include "core/storage/SalvageWalk.h"

#include <algorithm>
#include <map>

namespace {

constexpr std::uint8_t kTableInterior = 5;
constexpr std::uint8_t kTableLeaf = 13;
constexpr std::uint8_t kIndexInterior = 2;
// The schema's columns: type, name, tbl_name, rootpage, sql.
constexpr size_t kSchemaColumns = 5;
// A row's payload room is given back past this, so that one long row does not stay held.
constexpr size_t kKeptPayloadRoom = 1 << 20;

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

std::uint32_t be32(const std::uint8_t* p)
{
    return (std::uint32_t { p[0] } << 24) | (std::uint32_t { p[1] } << 16) | (std::uint32_t { p[2] } << 8) | p[3];
}

// A digest of bytes (64-bit FNV-1a): copies of a row are told apart by it without being held.
struct Digest {
    std::uint64_t value = 0xcbf29ce484222325ULL;
    void add(const std::uint8_t* bytes, size_t length)
    {
        for (size_t i = 0; i < length; ++i)
            value = (value ^ bytes[i]) * 0x100000001b3ULL;
    }
    void add(std::uint64_t number)
    {
        std::uint8_t bytes[8];
        for (int i = 0; i < 8; ++i)
            bytes[i] = static_cast<std::uint8_t>(number >> (8 * i));
        add(bytes, sizeof bytes);
    }
};

}

SalvageWalk::SalvageWalk(PageReader& reader, Table table)
    : m_reader(reader)
    , m_table(std::move(table))
{
}

void SalvageWalk::note(std::uint32_t page, Kind kind)
{
    if (kind > m_kinds[page])
        m_kinds[page] = kind;
}

bool SalvageWalk::mayJoinChain(std::uint32_t page) const
{
    if ((m_marks[page] & kListed) && m_freeListWhole)
        return false;
    return m_kinds[page] < Kind::Chain;
}

std::uint64_t SalvageWalk::heldBytes() const
{
    return m_kinds.capacity() + m_marks.capacity() + sizeof(std::int64_t) * m_treeRowids.capacity()
        + sizeof(Copy) * m_copies.capacity() + sizeof(std::uint32_t) * m_trunks.capacity()
        + sizeof(std::pair<std::uint32_t, std::uint32_t>) * m_children.capacity() + sizeof(Compared) * m_compared.capacity()
        + m_pageBytes.capacity() + m_chainBytes.capacity() + m_payload.capacity() + sizeof(std::uint32_t) * m_chain.capacity();
}

bool SalvageWalk::overBound()
{
    if (heldBytes() <= m_table.maxHeldBytes)
        return false;
    if (m_end == End::Read)
        m_end = End::Stopped;
    return true;
}

void SalvageWalk::releasePayload()
{
    if (m_payload.capacity() > kKeptPayloadRoom)
        std::vector<std::uint8_t>().swap(m_payload);
}

bool SalvageWalk::stopped(PageReader::Got got)
{
    if (got == PageReader::Got::Stopped && m_end == End::Read)
        m_end = End::Stopped;
    else if (got == PageReader::Got::Failed)
        m_end = End::Failed;
    return m_end != End::Read;
}

bool SalvageWalk::ends(PageReader::Got got)
{
    if (got != PageReader::Got::Stopped && got != PageReader::Got::Failed)
        return false;
    stopped(got);
    return true;
}

bool SalvageWalk::walkTree(std::uint32_t root, bool anyKind, const CellFound& found, long long* reachedAgain)
{
    const std::uint32_t pageCount = m_reader.header().pageCount;
    bool whole = true;
    std::vector<std::uint32_t> stack { root };
    std::vector<std::uint8_t> bytes;
    // Each page is taken once, whatever leads to it, so the stack holds no more than the pages
    // of the database and the walk ends.
    while (!stack.empty()) {
        const std::uint32_t number = stack.back();
        stack.pop_back();
        if (number < 1 || number > pageCount) {
            whole = false;
            ++m_counts.damagedPages;
            continue;
        }
        if (m_kinds[number] == Kind::Chain) {
            // A page of a chain that read whole: the pointer is wrong, whichever came first.
            whole = false;
            ++m_counts.damagedPages;
            continue;
        }
        if (m_kinds[number] != Kind::Unseen) {
            m_amiss = true;
            if (reachedAgain)
                ++*reachedAgain;
            continue;
        }
        // A page on a free list that reads whole was freed after whatever leads to it was written.
        if (m_freeListWhole && (m_marks[number] & kListed)) {
            note(number, Kind::Nothing);
            whole = false;
            ++m_counts.freeOnTree;
            continue;
        }
        const auto got = m_reader.page(number, bytes);
        if (stopped(got))
            return false;
        const auto page = got == PageReader::Got::Page ? m_reader.btree(number, bytes) : std::nullopt;
        if (!page || (!anyKind && page->type != kTableInterior && page->type != kTableLeaf)) {
            note(number, Kind::Nothing);
            whole = false;
            ++m_counts.damagedPages;
            continue;
        }
        note(number, Kind::Tree);
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
            const auto cell = m_reader.cell(*page, bytes, i);
            if (!cell) {
                // A leaf whose cells do not all read may be what a damaged interior page was.
                whole = false;
                if (!anyKind)
                    ++m_counts.leftOut;
                continue;
            }
            if (stopped(found(number, bytes, *cell)))
                return false;
        }
        if (overBound())
            return false;
    }
    m_amiss = m_amiss || !whole;
    return whole;
}

PageReader::Got SalvageWalk::followChain(const PageReader::Cell& cell, bool claim, std::uint8_t mark, const Take& take)
{
    m_chain.clear();
    if (!cell.firstOverflow)
        return PageReader::Got::Page;
    const std::uint32_t pageCount = m_reader.header().pageCount;
    const std::uint64_t room = m_reader.overflowRoom();
    std::uint64_t rest = cell.payloadSize - std::min<std::uint64_t>(cell.localSize, cell.payloadSize);
    // A payload the database's other pages could not hold is no payload of it: nothing is read
    // on its word.
    if ((rest + room - 1) / room + 1 > pageCount)
        return PageReader::Got::Refused;
    auto got = PageReader::Got::Page;
    for (std::uint32_t next = cell.firstOverflow; rest > 0;) {
        if (next < 2 || next > pageCount || (m_marks[next] & (kInChain | mark)) || !mayJoinChain(next)) {
            got = PageReader::Got::Refused;
            break;
        }
        m_marks[next] |= kInChain;
        m_chain.push_back(next);
        got = m_reader.page(next, m_chainBytes);
        if (got != PageReader::Got::Page)
            break;
        // SQLite ends a chain with a zero pointer, which no b-tree page begins with: a b-tree
        // page is none of a chain.
        if (m_reader.btree(next, m_chainBytes)) {
            got = PageReader::Got::Refused;
            break;
        }
        const size_t length = static_cast<size_t>(std::min(room, rest));
        if (take)
            take(m_chainBytes.data() + 4, length);
        rest -= length;
        next = be32(m_chainBytes.data());
    }
    for (std::uint32_t page : m_chain) {
        m_marks[page] = static_cast<std::uint8_t>((m_marks[page] & ~kInChain) | mark);
        if (claim && got == PageReader::Got::Page)
            note(page, Kind::Chain);
    }
    return got;
}

PageReader::Got SalvageWalk::readPayload(const PageReader::Cell& cell, const std::vector<std::uint8_t>& bytes)
{
    m_payload.assign(bytes.begin() + cell.local, bytes.begin() + cell.local + cell.localSize);
    const auto got = followChain(cell, true, 0, [&](const std::uint8_t* part, size_t length) {
        m_payload.insert(m_payload.end(), part, part + length);
    });
    if (got != PageReader::Got::Page)
        m_payload.clear();
    return got;
}

bool SalvageWalk::readSchema(std::int64_t& root, std::vector<std::uint32_t>& otherRoots)
{
    const std::string wanted = asciiName(m_table.name, 1);
    const int encoding = m_reader.header().encoding;
    bool whole = true;
    const bool walked = walkTree(1, false, [&](std::uint32_t, const std::vector<std::uint8_t>& bytes, const PageReader::Cell& cell) {
        if (const auto got = readPayload(cell, bytes); got != PageReader::Got::Page) {
            if (got == PageReader::Got::Refused)
                whole = false;
            return got == PageReader::Got::Refused ? PageReader::Got::Page : got;
        }
        const auto values = PageReader::record(m_payload.data(), m_payload.size(), kSchemaColumns, PageReader::kMaxPayloadBytes);
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
    releasePayload();
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
    for (std::uint32_t next = header.freelistTrunk; next != 0;) {
        // A chain that leads back, or lists more pages than the database has, does not read.
        if (next > header.pageCount || (m_marks[next] & kListed) || counted > header.pageCount)
            return false;
        m_marks[next] |= kListed;
        ++counted;
        const auto got = m_reader.page(next, bytes);
        if (stopped(got) || got != PageReader::Got::Page)
            return false;
        const auto trunk = m_reader.trunk(bytes);
        if (!trunk)
            return false;
        for (std::uint32_t leaf : trunk->leaves) {
            if (leaf >= 1 && leaf <= header.pageCount)
                m_marks[leaf] |= kListed;
            else
                ++m_listedOutside;
        }
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
        if (number != lockPage && m_kinds[number] == Kind::Unseen && !(m_marks[number] & kListed))
            return false;
    }
    return true;
}

std::optional<std::vector<SalvagedValue>> SalvageWalk::valuesOf(std::int64_t rowid, bool exactShape) const
{
    auto values = PageReader::record(m_payload.data(), m_payload.size(), m_table.columns, m_table.maxValueBytes);
    if (!values || (exactShape && values->size() != m_table.columns))
        return std::nullopt;
    // Columns added to the table after a row was written are not in its record.
    values->resize(m_table.columns);
    if (m_table.rowidColumn >= 0 && static_cast<size_t>(m_table.rowidColumn) < values->size()) {
        auto& id = (*values)[static_cast<size_t>(m_table.rowidColumn)];
        id.kind = SalvagedValue::Kind::Integer;
        id.integer = rowid;
        id.bytes.clear();
    }
    return values;
}

void SalvageWalk::readEveryPage()
{
    const auto& header = m_reader.header();
    for (std::uint32_t number = 2; number <= header.pageCount; ++number) {
        if (m_kinds[number] != Kind::Unseen || (m_marks[number] & kListed))
            continue;
        if (overBound())
            return;
        const auto got = m_reader.page(number, m_pageBytes);
        if (stopped(got))
            return;
        if (got != PageReader::Got::Page) {
            note(number, Kind::Nothing);
            continue;
        }
        const auto page = m_reader.btree(number, m_pageBytes);
        if (!page) {
            const auto trunk = m_freeListWhole ? std::nullopt : m_reader.trunk(m_pageBytes);
            if (trunk && !trunk->leaves.empty() && trunk->next <= header.pageCount
                && std::all_of(trunk->leaves.begin(), trunk->leaves.end(),
                    [&](std::uint32_t leaf) { return leaf >= 2 && leaf <= header.pageCount && leaf != number; })) {
                note(number, Kind::LikeTrunk);
                m_trunks.push_back(number);
                m_trunks.push_back(static_cast<std::uint32_t>(trunk->leaves.size()));
                m_trunks.insert(m_trunks.end(), trunk->leaves.begin(), trunk->leaves.end());
            } else {
                note(number, Kind::Nothing);
            }
            continue;
        }
        if (page->type == kTableInterior) {
            note(number, Kind::Interior);
            if (const auto children = m_reader.children(*page, m_pageBytes)) {
                for (std::uint32_t child : *children) {
                    if (child >= 2 && child <= header.pageCount)
                        m_children.emplace_back(number, child);
                }
            }
            continue;
        }
        if (page->type != kTableLeaf) {
            note(number, Kind::OtherBTree);
            continue;
        }
        note(number, Kind::Leaf);
        for (size_t i = 0; i < page->cells.size(); ++i) {
            const auto cell = m_reader.cell(*page, m_pageBytes, i);
            // The tree's copy of a rowid is the live one.
            if (!cell || std::binary_search(m_treeRowids.begin(), m_treeRowids.end(), cell->rowid))
                continue;
            // A cell whose payload lies whole on its leaf and is no row of the table's shape is
            // none of its rows; one whose payload runs on is known once its chain is read.
            if (!cell->firstOverflow
                && PageReader::recordValues(m_pageBytes.data() + cell->local, cell->localSize, m_table.columns, m_table.maxValueBytes)
                    != m_table.columns)
                continue;
            const std::uint8_t flags = cell->firstOverflow ? kOverflows : 0;
            m_copies.push_back({ cell->rowid, number, static_cast<std::uint16_t>(i), flags });
        }
    }
}

std::optional<PageReader::Cell> SalvageWalk::cellOf(const Copy& copy, Reread& at)
{
    if (at.page != copy.page) {
        at.page = copy.page;
        at.got = m_reader.page(copy.page, m_pageBytes);
        at.tree = at.got == PageReader::Got::Page ? m_reader.btree(copy.page, m_pageBytes) : std::nullopt;
    }
    if (!at.tree)
        return std::nullopt;
    auto cell = m_reader.cell(*at.tree, m_pageBytes, copy.cell);
    if (!cell || cell->rowid != copy.rowid)
        return std::nullopt;
    return cell;
}

void SalvageWalk::markFreeByLook()
{
    for (auto& marks : m_marks)
        marks &= static_cast<std::uint8_t>(~kFreeByLook);
    for (size_t at = 0; at + 1 < m_trunks.size(); at += 2 + m_trunks[at + 1]) {
        if (m_marks[m_trunks[at]] & kNotTrunk)
            continue;
        m_marks[m_trunks[at]] |= kFreeByLook;
        for (size_t i = 0; i < m_trunks[at + 1]; ++i)
            m_marks[m_trunks[at + 2 + i]] |= kFreeByLook;
    }
}

bool SalvageWalk::settleTrunks()
{
    markFreeByLook();
    if (m_trunks.empty())
        return true;
    for (bool changed = true; changed;) {
        changed = false;
        Reread at;
        for (auto& copy : m_copies) {
            if (!(copy.flags & kOverflows) || (copy.flags & kChainWalked) || isFree(copy.page))
                continue;
            copy.flags |= kChainWalked;
            const auto cell = cellOf(copy, at);
            if (ends(at.got))
                return false;
            if (!cell)
                continue;
            const auto got = followChain(*cell, false, kWalked, {});
            if (ends(got))
                return false;
            if (got != PageReader::Got::Page)
                continue;
            for (std::uint32_t page : m_chain) {
                if (m_kinds[page] == Kind::LikeTrunk && !(m_marks[page] & kNotTrunk)) {
                    m_marks[page] |= kNotTrunk;
                    changed = true;
                }
            }
        }
        if (changed)
            markFreeByLook();
    }
    return true;
}

bool SalvageWalk::compareCopies()
{
    for (size_t i = 0; i < m_copies.size(); ++i) {
        if (m_copies[i].flags & kCompared)
            m_compared.push_back({ static_cast<std::uint32_t>(i), false, 0 });
    }
    const auto byPlace = [&](const Compared& a, const Compared& b) {
        const Copy& one = m_copies[a.copy];
        const Copy& other = m_copies[b.copy];
        return std::tie(one.page, one.cell) < std::tie(other.page, other.cell);
    };
    std::sort(m_compared.begin(), m_compared.end(), byPlace);
    // Copies of a row may share a chain (a leaf freed as its cells moved keeps copies of them):
    // each chain is read once, by its first page and length.
    std::map<std::pair<std::uint32_t, std::uint64_t>, std::optional<std::uint64_t>> chains;
    Reread at;
    for (auto& compared : m_compared) {
        const auto cell = cellOf(m_copies[compared.copy], at);
        if (ends(at.got))
            return false;
        if (!cell)
            continue;
        Digest digest;
        digest.add(cell->payloadSize);
        digest.add(m_pageBytes.data() + cell->local, cell->localSize);
        if (cell->firstOverflow) {
            const std::pair<std::uint32_t, std::uint64_t> key { cell->firstOverflow, cell->payloadSize - cell->localSize };
            auto chain = chains.find(key);
            if (chain == chains.end()) {
                Digest rest;
                const auto got = followChain(*cell, false, kDigested, [&](const std::uint8_t* bytes, size_t length) { rest.add(bytes, length); });
                if (ends(got))
                    return false;
                chain = chains.emplace(key, got == PageReader::Got::Page ? std::optional(rest.value) : std::nullopt).first;
            }
            if (!chain->second)
                continue;
            digest.add(*chain->second);
        }
        compared.whole = true;
        compared.digest = digest.value;
    }
    std::sort(m_compared.begin(), m_compared.end(), [](const Compared& a, const Compared& b) { return a.copy < b.copy; });
    return true;
}

bool SalvageWalk::decide(bool freeKnown)
{
    std::sort(m_copies.begin(), m_copies.end(), [](const Copy& a, const Copy& b) {
        return std::tie(a.rowid, a.page, a.cell) < std::tie(b.rowid, b.page, b.cell);
    });
    const auto eachRowid = [&](const std::function<void(std::vector<Copy*>&)>& decideOne) {
        std::vector<Copy*> copies;
        for (size_t i = 0; i < m_copies.size();) {
            size_t end = i;
            copies.clear();
            for (; end < m_copies.size() && m_copies[end].rowid == m_copies[i].rowid; ++end) {
                // A copy on a free page is a deleted row or an older copy of a moved one: never
                // taken, and no reason to doubt a copy elsewhere.
                if (!isFree(m_copies[end].page))
                    copies.push_back(&m_copies[end]);
            }
            if (copies.empty())
                ++m_counts.deletedSkipped;
            else
                decideOne(copies);
            i = end;
        }
    };
    eachRowid([&](std::vector<Copy*>& copies) {
        if (copies.size() > 1 && freeKnown) {
            for (Copy* copy : copies)
                copy->flags |= kCompared;
        }
    });
    if (!compareCopies())
        return false;
    const auto comparedOf = [&](const Copy* copy) -> const Compared& {
        const auto index = static_cast<std::uint32_t>(copy - m_copies.data());
        return *std::lower_bound(m_compared.begin(), m_compared.end(), index, [](const Compared& c, std::uint32_t i) { return c.copy < i; });
    };
    eachRowid([&](std::vector<Copy*>& copies) {
        if (!freeKnown) {
            // Where the header counts more free pages than were found, a free page may be among
            // the leaves found, and its rows would be deleted rows come back: none is taken.
            ++m_counts.maybeDeleted;
            return;
        }
        if (copies.size() == 1) {
            // Its chain, if any, is read as it is offered.
            copies.front()->flags |= kOffered;
            return;
        }
        // A copy whose chain did not read is lost; the others are compared.
        const auto lost = std::erase_if(copies, [&](const Copy* copy) { return !comparedOf(copy).whole; });
        m_counts.overflowLost += static_cast<long long>(lost);
        if (copies.empty())
            return;
        const auto agree = [&](const std::vector<Copy*>& all) {
            return std::all_of(all.begin() + 1, all.end(), [&](const Copy* copy) { return comparedOf(copy).digest == comparedOf(all.front()).digest; });
        };
        if (!agree(copies)) {
            std::erase_if(copies, [&](const Copy* copy) { return !(m_marks[copy->page] & kLedTo); });
            if (copies.empty() || !agree(copies)) {
                ++m_counts.conflicting;
                return;
            }
            ++m_counts.settled;
        }
        copies.front()->flags |= kOffered;
    });
    return true;
}

void SalvageWalk::offerKept(const Keep& keep)
{
    std::erase_if(m_copies, [](const Copy& copy) { return !(copy.flags & kOffered); });
    std::sort(m_copies.begin(), m_copies.end(), [](const Copy& a, const Copy& b) { return std::tie(a.page, a.cell) < std::tie(b.page, b.cell); });
    Reread at;
    for (const Copy& copy : m_copies) {
        const auto cell = cellOf(copy, at);
        if (ends(at.got))
            return;
        if (!cell) {
            // Its leaf read before, and not now.
            ++m_counts.leftOut;
            continue;
        }
        const auto got = readPayload(*cell, m_pageBytes);
        if (ends(got))
            return;
        if (got != PageReader::Got::Page) {
            ++m_counts.overflowLost;
            continue;
        }
        const auto values = valuesOf(copy.rowid, true);
        releasePayload();
        // A cell whose payload runs on is known by its shape only now.
        if (!values)
            continue;
        if (keep(copy.rowid, *values)) {
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
    std::sort(m_treeRowids.begin(), m_treeRowids.end());
    m_treeRowids.erase(std::unique(m_treeRowids.begin(), m_treeRowids.end()), m_treeRowids.end());
    readEveryPage();
    // A read that may pass ends the mend, to be made again: nothing is decided on half of it.
    if (m_end == End::Failed)
        return;
    // The pages read are decided on what they showed; the leaves holding what is kept are read
    // again, each once.
    m_reader.setReadingAgain(true);
    struct FirstReading {
        PageReader& reader;
        ~FirstReading() { reader.setReadingAgain(false); }
    } restored { m_reader };
    if (!settleTrunks())
        return;
    const auto& header = m_reader.header();
    std::uint64_t free = m_listedOutside;
    for (std::uint32_t number = 1; number <= header.pageCount; ++number)
        free += isFree(number) ? 1 : 0;
    const bool freeKnown = !header.read || free >= header.freelistCount;
    for (const auto& [interior, child] : m_children) {
        if (!isFree(interior))
            m_marks[child] |= kLedTo;
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>>().swap(m_children);
    std::vector<std::uint32_t>().swap(m_trunks);
    if (!decide(freeKnown))
        return;
    std::vector<Compared>().swap(m_compared);
    offerKept(keep);
}

SalvageWalk::End SalvageWalk::run(const Keep& keep)
{
    const auto started = m_reader.start();
    if (stopped(started))
        return m_end;
    m_kinds.assign(std::size_t { m_reader.header().pageCount } + 1, Kind::Unseen);
    m_marks.assign(std::size_t { m_reader.header().pageCount } + 1, 0);
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
        walkTree(static_cast<std::uint32_t>(root), false, [&](std::uint32_t, const std::vector<std::uint8_t>& bytes, const PageReader::Cell& cell) {
            if (const auto got = readPayload(cell, bytes); got != PageReader::Got::Page) {
                if (got == PageReader::Got::Refused) {
                    ++m_counts.overflowLost;
                    m_amiss = true;
                }
                return got == PageReader::Got::Refused ? PageReader::Got::Page : got;
            }
            // The tree's copy of a rowid is the live one, whole or not (a second copy the tree
            // leads to is refused by the table's key).
            m_treeRowids.push_back(cell.rowid);
            const auto values = valuesOf(cell.rowid, false);
            releasePayload();
            if (values && keep(cell.rowid, *values))
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
        walkTree(other, true, [&](std::uint32_t, const std::vector<std::uint8_t>&, const PageReader::Cell& cell) {
            const auto got = followChain(cell, true, 0, {});
            if (got == PageReader::Got::Refused)
                m_amiss = true;
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
