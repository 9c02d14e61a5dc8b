#include "core/storage/PageReader.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint8_t kIndexInterior = 2;
constexpr std::uint8_t kTableInterior = 5;
constexpr std::uint8_t kIndexLeaf = 10;
constexpr std::uint8_t kTableLeaf = 13;
constexpr char kMagic[] = "SQLite format 3";
constexpr std::uint32_t kMinPageSize = 512;
constexpr std::uint32_t kMaxPageSize = 65536;
// Pages looked at, past the first, to guess the page size when the header does not read.
constexpr std::uint32_t kGuessPages = 64;

std::uint32_t be16(const std::uint8_t* p)
{
    return (std::uint32_t { p[0] } << 8) | p[1];
}

std::uint32_t be32(const std::uint8_t* p)
{
    return (std::uint32_t { p[0] } << 24) | (std::uint32_t { p[1] } << 16) | (std::uint32_t { p[2] } << 8) | p[3];
}

// A big-endian two's complement integer of `n` bytes (1 to 8).
std::int64_t signedOf(const std::uint8_t* p, size_t n)
{
    std::uint64_t value = (p[0] & 0x80) ? ~std::uint64_t { 0 } : 0;
    for (size_t i = 0; i < n; ++i)
        value = (value << 8) | p[i];
    return static_cast<std::int64_t>(value);
}

}

PageReader::PageReader(PageSource& source, std::function<bool()> mayRead)
    : m_source(source)
    , m_mayRead(std::move(mayRead))
{
}

PageReader::Got PageReader::readAt(std::uint64_t offset, size_t length, std::uint8_t* into)
{
    if (m_mayRead && !m_mayRead())
        return Got::Stopped;
    switch (m_source.read(offset, length, into)) {
    case PageSource::Read::Ok:
        return Got::Page;
    case PageSource::Read::Refused:
        return Got::Refused;
    case PageSource::Read::Failed:
        return Got::Failed;
    }
    return Got::Failed;
}

bool PageReader::validHeader(const std::uint8_t* head)
{
    if (std::memcmp(head, kMagic, sizeof kMagic) != 0)
        return false;
    std::uint32_t pageSize = be16(head + 16);
    if (pageSize == 1)
        pageSize = kMaxPageSize;
    if (pageSize < kMinPageSize || pageSize > kMaxPageSize || (pageSize & (pageSize - 1)))
        return false;
    const std::uint32_t reserved = head[20];
    if (pageSize - reserved < 480)
        return false;
    m_header.read = true;
    m_header.pageSize = pageSize;
    m_header.usable = pageSize - reserved;
    const std::uint64_t inFile = m_source.size() / pageSize;
    std::uint64_t count = be32(head + 28);
    // The count is SQLite's only while the version it was written by matches the change counter;
    // otherwise (an older writer) the file's size gives it.
    if (count == 0 || be32(head + 92) != be32(head + 24))
        count = inFile;
    m_header.pageCount = static_cast<std::uint32_t>(std::min<std::uint64_t>({ count, inFile, 0x7FFF'FFFF }));
    m_header.freelistTrunk = be32(head + 32);
    m_header.freelistCount = be32(head + 36);
    const std::uint32_t encoding = be32(head + 56);
    m_header.encoding = encoding >= 1 && encoding <= 3 ? static_cast<int>(encoding) : 1;
    return true;
}

PageReader::Got PageReader::start()
{
    if (m_started)
        return *m_started;
    std::uint8_t head[100];
    const Got got = readAt(0, sizeof head, head);
    if (got == Got::Failed || got == Got::Stopped)
        return *(m_started = got);
    if (got == Got::Page && validHeader(head))
        return *(m_started = Got::Page);
    guessPageSize();
    return *(m_started = Got::Refused);
}

void PageReader::guessPageSize()
{
    std::uint32_t best = 4096;
    double bestShare = 0;
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t size = kMinPageSize; size <= kMaxPageSize; size *= 2) {
        int sampled = 0;
        int btrees = 0;
        bytes.resize(size);
        m_header.usable = size;
        m_header.pageSize = size;
        for (std::uint32_t n = 2; n < 2 + kGuessPages && std::uint64_t { n } * size <= m_source.size(); ++n) {
            const Got got = readAt(std::uint64_t { n - 1 } * size, size, bytes.data());
            if (got == Got::Stopped || got == Got::Failed)
                break;
            ++sampled;
            // A b-tree page's cells are packed from its end: read at twice its size, a page
            // still looks like one, but with nothing in its upper half.
            const auto page = got == Got::Page ? btree(n, bytes) : std::nullopt;
            btrees += page && std::any_of(page->cells.begin(), page->cells.end(), [&](std::uint16_t cell) { return cell >= size / 2; });
        }
        const double share = sampled ? static_cast<double>(btrees) / sampled : 0;
        if (share > bestShare) {
            best = size;
            bestShare = share;
        }
    }
    m_header = Header {};
    m_header.pageSize = best;
    m_header.usable = best;
    m_header.pageCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(m_source.size() / best, 0x7FFF'FFFF));
}

std::uint64_t PageReader::databaseBytes() const
{
    return std::min<std::uint64_t>(std::uint64_t { m_header.pageCount } * m_header.pageSize, m_source.size());
}

PageReader::Got PageReader::page(std::uint32_t number, std::vector<std::uint8_t>& into)
{
    if (number < 1 || number > m_header.pageCount)
        return Got::Refused;
    into.resize(m_header.pageSize);
    return readAt(std::uint64_t { number - 1 } * m_header.pageSize, m_header.pageSize, into.data());
}

std::optional<PageReader::BTree> PageReader::btree(std::uint32_t number, const std::vector<std::uint8_t>& bytes) const
{
    const size_t usable = std::min<size_t>(m_header.usable, bytes.size());
    const size_t at = number == 1 ? 100 : 0;
    if (at + 12 > usable)
        return std::nullopt;
    BTree page;
    page.type = bytes[at];
    if (page.type != kIndexInterior && page.type != kTableInterior && page.type != kIndexLeaf && page.type != kTableLeaf)
        return std::nullopt;
    const bool interior = page.type == kIndexInterior || page.type == kTableInterior;
    const size_t count = be16(&bytes[at + 3]);
    const size_t pointers = at + (interior ? 12 : 8);
    if (pointers + 2 * count > usable)
        return std::nullopt;
    if (interior)
        page.rightChild = be32(&bytes[at + 8]);
    page.cells.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t cell = be16(&bytes[pointers + 2 * i]);
        if (cell < pointers + 2 * count || cell >= usable)
            return std::nullopt;
        page.cells.push_back(static_cast<std::uint16_t>(cell));
    }
    return page;
}

std::optional<std::uint64_t> PageReader::varint(const std::uint8_t* bytes, size_t end, size_t& at)
{
    std::uint64_t value = 0;
    for (int i = 0; i < 9; ++i) {
        if (at >= end)
            return std::nullopt;
        const std::uint8_t byte = bytes[at++];
        if (i == 8)
            return (value << 8) | byte;
        value = (value << 7) | (byte & 0x7F);
        if (!(byte & 0x80))
            return value;
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint32_t>> PageReader::children(const BTree& page, const std::vector<std::uint8_t>& bytes) const
{
    if (page.type != kTableInterior)
        return std::nullopt;
    const size_t usable = std::min<size_t>(m_header.usable, bytes.size());
    std::vector<std::uint32_t> children;
    children.reserve(page.cells.size() + 1);
    for (std::uint16_t cell : page.cells) {
        size_t at = cell + size_t { 4 };
        if (at > usable || !varint(bytes.data(), usable, at))
            return std::nullopt;
        children.push_back(be32(&bytes[cell]));
    }
    children.push_back(page.rightChild);
    return children;
}

std::optional<PageReader::LeafCell> PageReader::leafCell(const BTree& page, const std::vector<std::uint8_t>& bytes, size_t index) const
{
    if (page.type != kTableLeaf || index >= page.cells.size())
        return std::nullopt;
    const size_t usable = std::min<size_t>(m_header.usable, bytes.size());
    size_t at = page.cells[index];
    const auto payloadSize = varint(bytes.data(), usable, at);
    const auto rowid = varint(bytes.data(), usable, at);
    if (!payloadSize || !rowid || *payloadSize > kMaxPayloadBytes)
        return std::nullopt;
    // How much of the payload lies on the leaf, as SQLite decides it for a table's leaf.
    const std::uint64_t u = usable;
    const std::uint64_t maxLocal = u - 35;
    const std::uint64_t minLocal = (u - 12) * 32 / 255 - 23;
    std::uint64_t local = *payloadSize;
    if (local > maxLocal) {
        const std::uint64_t k = minLocal + (*payloadSize - minLocal) % (u - 4);
        local = k <= maxLocal ? k : minLocal;
    }
    const bool overflows = local < *payloadSize;
    if (at + local + (overflows ? 4 : 0) > usable)
        return std::nullopt;
    LeafCell cell;
    cell.rowid = static_cast<std::int64_t>(*rowid);
    cell.payloadSize = *payloadSize;
    cell.payload.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin() + static_cast<std::ptrdiff_t>(at + local));
    if (overflows) {
        cell.firstOverflow = be32(&bytes[at + local]);
        if (cell.firstOverflow == 0)
            return std::nullopt;
    }
    return cell;
}

PageReader::Got PageReader::overflow(LeafCell& cell, std::vector<std::uint32_t>& chain)
{
    std::vector<std::uint8_t> bytes;
    std::uint32_t next = cell.firstOverflow;
    const size_t room = m_header.usable - 4;
    cell.payload.reserve(static_cast<size_t>(cell.payloadSize));
    // Each page gives the payload more of its bytes, so the chain ends, even one that leads back.
    while (cell.payload.size() < cell.payloadSize) {
        if (next == 0)
            return Got::Refused;
        chain.push_back(next);
        const Got got = page(next, bytes);
        if (got != Got::Page)
            return got;
        const size_t take = static_cast<size_t>(std::min<std::uint64_t>(room, cell.payloadSize - cell.payload.size()));
        cell.payload.insert(cell.payload.end(), bytes.begin() + 4, bytes.begin() + 4 + static_cast<std::ptrdiff_t>(take));
        next = be32(bytes.data());
    }
    return Got::Page;
}

std::optional<PageReader::Trunk> PageReader::trunk(const std::vector<std::uint8_t>& bytes) const
{
    const size_t usable = std::min<size_t>(m_header.usable, bytes.size());
    if (usable < 8)
        return std::nullopt;
    Trunk trunk;
    trunk.next = be32(bytes.data());
    const size_t count = be32(bytes.data() + 4);
    if (count > usable / 4 - 2)
        return std::nullopt;
    trunk.leaves.reserve(count);
    for (size_t i = 0; i < count; ++i)
        trunk.leaves.push_back(be32(bytes.data() + 8 + 4 * i));
    return trunk;
}

std::optional<std::vector<SalvagedValue>> PageReader::record(const std::uint8_t* payload, size_t size, size_t maxValues,
    size_t maxValueBytes)
{
    size_t at = 0;
    const auto headerSize = varint(payload, size, at);
    if (!headerSize || *headerSize < at || *headerSize > size)
        return std::nullopt;
    const size_t headerEnd = static_cast<size_t>(*headerSize);
    std::vector<std::uint64_t> types;
    while (at < headerEnd) {
        const auto type = varint(payload, headerEnd, at);
        if (!type || type == 10u || type == 11u || types.size() == maxValues)
            return std::nullopt;
        types.push_back(*type);
    }
    std::vector<SalvagedValue> values(types.size());
    size_t body = headerEnd;
    for (size_t i = 0; i < types.size(); ++i) {
        const std::uint64_t type = types[i];
        SalvagedValue& value = values[i];
        static constexpr size_t kIntegerBytes[] = { 0, 1, 2, 3, 4, 6, 8 };
        if (type == 0) {
            continue;
        } else if (type <= 6) {
            const size_t n = kIntegerBytes[type];
            if (n > size - body)
                return std::nullopt;
            value.kind = SalvagedValue::Kind::Integer;
            value.integer = signedOf(payload + body, n);
            body += n;
        } else if (type == 7) {
            if (8 > size - body)
                return std::nullopt;
            std::uint64_t bits = static_cast<std::uint64_t>(signedOf(payload + body, 8));
            value.kind = SalvagedValue::Kind::Real;
            std::memcpy(&value.real, &bits, sizeof bits);
            body += 8;
        } else if (type == 8 || type == 9) {
            value.kind = SalvagedValue::Kind::Integer;
            value.integer = type == 9;
        } else {
            const std::uint64_t n = (type - 12) / 2;
            if (n > maxValueBytes || n > size - body)
                return std::nullopt;
            value.kind = type % 2 ? SalvagedValue::Kind::Text : SalvagedValue::Kind::Blob;
            value.bytes.assign(reinterpret_cast<const char*>(payload + body), static_cast<size_t>(n));
            body += static_cast<size_t>(n);
        }
    }
    return values;
}
