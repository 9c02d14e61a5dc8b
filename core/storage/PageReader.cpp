#include "core/storage/PageReader.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr std::uint8_t kIndexInterior = 2;
constexpr std::uint8_t kTableInterior = 5;
constexpr std::uint8_t kIndexLeaf = 10;
constexpr std::uint8_t kTableLeaf = 13;
constexpr char kMagic[] = "SQLite format 3";
constexpr std::uint32_t kMinPageSize = 512;
constexpr std::uint32_t kMaxPageSize = 65536;
// The bytes looked at, from the file's start, to find the page size where the header's is not
// to be trusted, and the parts they are read again in where a larger read fails.
constexpr std::uint64_t kSampleBytes = 1 << 20;
constexpr size_t kSamplePart = 4096;
// The fewest bytes of a page a b-tree may use, as SQLite requires.
constexpr std::uint32_t kMinUsable = 480;

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

// How much of a payload of `payload` bytes lies on a page of `usable` bytes of kind `type`, as
// SQLite decides it, and whether the rest overflows.
std::uint64_t localBytes(std::uint8_t type, std::uint64_t usable, std::uint64_t payload, bool& overflows)
{
    const std::uint64_t maxLocal = type == kTableLeaf ? usable - 35 : (usable - 12) * 64 / 255 - 23;
    const std::uint64_t minLocal = (usable - 12) * 32 / 255 - 23;
    overflows = payload > maxLocal;
    if (!overflows)
        return payload;
    const std::uint64_t k = minLocal + (payload - minLocal) % (usable - 4);
    return k <= maxLocal ? k : minLocal;
}

// A b-tree page's header at `at` (100 on the first page) of a page of `size` bytes: its kind, its
// count of cells, where its content area and its cell pointers start. None where the kind is no
// b-tree page's or the pointers run into the content area.
struct PageHead {
    std::uint8_t type;
    size_t cells;
    size_t content;
    size_t pointers;
};

std::optional<PageHead> headOf(const std::uint8_t* page, size_t size, size_t at)
{
    if (at + 12 > size)
        return std::nullopt;
    const std::uint8_t type = page[at];
    if (type != kIndexInterior && type != kTableInterior && type != kIndexLeaf && type != kTableLeaf)
        return std::nullopt;
    const bool interior = type == kIndexInterior || type == kTableInterior;
    const size_t cells = be16(page + at + 3);
    size_t content = be16(page + at + 5);
    if (content == 0)
        content = 65536;
    const size_t pointers = at + (interior ? 12 : 8);
    if (content > size || pointers + 2 * cells > content)
        return std::nullopt;
    return PageHead { type, cells, content, pointers };
}

// The bytes the cell at `cell` of a page of kind `type` takes, its varints read within `size`
// bytes and its local part worked out for a page of `usable` bytes. None where a varint does not
// read or the local part is larger than the page.
std::optional<size_t> cellLength(const std::uint8_t* page, size_t size, std::uint8_t type, size_t usable, size_t cell)
{
    const bool interior = type == kIndexInterior || type == kTableInterior;
    size_t end = cell + (interior ? 4 : 0);
    if (type == kTableInterior) {
        if (!PageReader::varint(page, size, end))
            return std::nullopt;
        return end - cell;
    }
    const auto payload = PageReader::varint(page, size, end);
    if (!payload || (type == kTableLeaf && !PageReader::varint(page, size, end)))
        return std::nullopt;
    bool overflows = false;
    const std::uint64_t local = localBytes(type, usable, *payload, overflows);
    if (local > size)
        return std::nullopt;
    // A cell takes at least four bytes, room for a free block when it goes.
    return std::max<size_t>(end - cell + static_cast<size_t>(local) + (overflows ? 4 : 0), 4);
}

// Whether every byte of the b-tree page `page` (its `usable` bytes, its header at `at`: 100 on
// the first page) is accounted for: the header and cell pointers below the content area; in it,
// each cell at the length its varints give, the free blocks in ascending order, none of them
// overlapping, and the bytes left over as many as the header counts as fragments. `used` is
// scratch room.
bool wellFormedPage(const std::uint8_t* page, size_t usable, size_t at, std::vector<std::uint8_t>& used)
{
    const auto head = headOf(page, usable, at);
    if (!head)
        return false;
    // Named apart: the claim below captures them.
    const std::uint8_t type = head->type;
    const size_t cells = head->cells;
    const size_t content = head->content;
    const size_t pointers = head->pointers;
    used.assign(usable, 0);
    std::fill(used.begin(), used.begin() + static_cast<std::ptrdiff_t>(content), 1);
    const auto claim = [&](size_t from, size_t length) {
        if (from < content || from >= usable || length > usable - from)
            return false;
        for (size_t i = from; i < from + length; ++i) {
            if (used[i])
                return false;
            used[i] = 1;
        }
        return true;
    };
    for (size_t block = be16(page + at + 1); block != 0;) {
        if (block + 4 > usable)
            return false;
        const size_t next = be16(page + block);
        const size_t length = be16(page + block + 2);
        if (length < 4 || !claim(block, length) || (next != 0 && next < block + length))
            return false;
        block = next;
    }
    for (size_t i = 0; i < cells; ++i) {
        const size_t cell = be16(page + pointers + 2 * i);
        if (cell < content || cell >= usable)
            return false;
        const auto length = cellLength(page, usable, type, usable, cell);
        if (!length || !claim(cell, *length))
            return false;
    }
    return static_cast<size_t>(std::count(used.begin() + static_cast<std::ptrdiff_t>(content), used.end(), 0)) == page[at + 7];
}

// The bytes reserved at the end of the b-tree page `page` of `size` bytes (its header at `at`)
// with which every byte of it is accounted for: its content area, cells and free blocks reach
// the page's usable end but for the fragments it counts. How much of a long payload lies on the
// page depends on that end, so the end is worked out again from the first answer until it holds.
// None when the page is no b-tree page or no tail of 0 to 255 bytes makes it whole.
std::optional<std::uint32_t> reservedOf(const std::uint8_t* page, size_t size, size_t at)
{
    const auto head = headOf(page, size, at);
    if (!head)
        return std::nullopt;
    const auto [type, cells, content, pointers] = *head;
    size_t usable = size;
    for (int round = 0; round < 3; ++round) {
        if (usable < kMinUsable)
            return std::nullopt;
        size_t claimed = 0;
        for (size_t block = be16(page + at + 1); block != 0;) {
            if (block < content || block + 4 > size)
                return std::nullopt;
            const size_t next = be16(page + block);
            const size_t length = be16(page + block + 2);
            if (length < 4 || (next != 0 && next <= block))
                return std::nullopt;
            claimed += length;
            block = next;
        }
        for (size_t i = 0; i < cells; ++i) {
            const size_t cell = be16(page + pointers + 2 * i);
            if (cell < content || cell >= size)
                return std::nullopt;
            const auto length = cellLength(page, size, type, usable, cell);
            if (!length)
                return std::nullopt;
            claimed += *length;
        }
        const size_t end = content + claimed + page[at + 7];
        if (end > size || size - end > 255)
            return std::nullopt;
        if (end == usable)
            return static_cast<std::uint32_t>(size - end);
        usable = end;
    }
    return std::nullopt;
}
}

PageReader::PageReader(PageSource& source, std::function<bool()> mayRead, std::function<bool()> mayReadAgain)
    : m_source(source)
    , m_mayRead(std::move(mayRead))
    , m_mayReadAgain(std::move(mayReadAgain))
{
}

PageReader::Got PageReader::readAt(std::uint64_t offset, size_t length, std::uint8_t* into)
{
    const auto& may = m_again && m_mayReadAgain ? m_mayReadAgain : m_mayRead;
    if (may && !may())
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
    if (pageSize - reserved < kMinUsable)
        return false;
    m_header.read = true;
    // The count is SQLite's only while the version it was written by matches the change counter;
    // otherwise (an older writer) the file gives it.
    m_headerCount = be32(head + 92) == be32(head + 24) ? be32(head + 28) : 0;
    setPageSize(pageSize, reserved);
    m_header.freelistTrunk = be32(head + 32);
    m_header.freelistCount = be32(head + 36);
    const std::uint32_t encoding = be32(head + 56);
    m_header.encoding = encoding >= 1 && encoding <= 3 ? static_cast<int>(encoding) : 1;
    m_header.autoVacuum = be32(head + 52) != 0;
    return true;
}

void PageReader::setPageSize(std::uint32_t size, std::uint32_t reserved)
{
    m_header.pageSize = size;
    m_header.usable = size - reserved;
    // Pages up to the file's last data: a page in a sparse tail reads as zeros, no page at all.
    const std::uint64_t inFile = std::min(m_source.size() / size, (m_source.dataEnd() + size - 1) / size);
    const std::uint64_t count = m_headerCount ? m_headerCount : inFile;
    m_header.pageCount = static_cast<std::uint32_t>(std::min<std::uint64_t>({ count, inFile, 0x7FFF'FFFF }));
}

PageReader::Got PageReader::start()
{
    if (m_started)
        return *m_started;
    std::uint8_t head[100];
    const Got got = readAt(0, sizeof head, head);
    if (got == Got::Failed || got == Got::Stopped)
        return *(m_started = got);
    if (got == Got::Page && validHeader(head)) {
        // The header's page size holds when the first page is well formed at it; otherwise the
        // pages that follow say it, where they can.
        std::vector<std::uint8_t> first;
        const Got firstPage = page(1, first);
        if (firstPage == Got::Failed || firstPage == Got::Stopped)
            return *(m_started = firstPage);
        if (firstPage == Got::Page && wellFormed(1, first))
            return *(m_started = Got::Page);
        const std::uint32_t reserved = m_header.pageSize - m_header.usable;
        const Layout found = layoutFromPages(1, reserved);
        if (m_interrupted)
            return *(m_started = *m_interrupted);
        if (found.size != 0 && (found.size != m_header.pageSize || found.reserved != reserved)) {
            setPageSize(found.size, found.reserved);
            m_header.pageSizeFromPages = true;
        }
        return *(m_started = Got::Page);
    }
    m_header = Header {};
    m_headerCount = 0;
    const Layout found = layoutFromPages(2, std::nullopt);
    if (m_interrupted)
        return *(m_started = *m_interrupted);
    setPageSize(found.size ? found.size : m_header.pageSize, found.reserved);
    m_header.pageSizeFromPages = found.size != 0;
    return *(m_started = Got::Refused);
}

PageReader::Layout PageReader::layoutFromPages(std::uint32_t first, std::optional<std::uint32_t> headerReserved)
{
    // The start of the file's data, read once in stretches of the largest page; a stretch that
    // does not read (a bad sector in it) is read again in parts of 4 KiB, so that the rest of it
    // still counts. Each size is then tried on the same bytes.
    const size_t end = static_cast<size_t>(std::min<std::uint64_t>({ m_source.dataEnd(), m_source.size(), kSampleBytes }));
    std::vector<std::uint8_t> bytes(end);
    std::vector<bool> readable((end + kSamplePart - 1) / kSamplePart, false);
    const auto read = [&](size_t offset, size_t length) {
        const Got got = readAt(offset, length, bytes.data() + offset);
        if (got == Got::Stopped || got == Got::Failed)
            m_interrupted = got;
        else if (got == Got::Page)
            std::fill(readable.begin() + static_cast<std::ptrdiff_t>(offset / kSamplePart),
                readable.begin() + static_cast<std::ptrdiff_t>((offset + length + kSamplePart - 1) / kSamplePart), true);
        return got;
    };
    for (size_t offset = 0; offset < end && !m_interrupted; offset += kMaxPageSize) {
        const size_t length = std::min<size_t>(kMaxPageSize, end - offset);
        if (read(offset, length) != Got::Refused)
            continue;
        for (size_t part = offset; part < offset + length && !m_interrupted; part += kSamplePart)
            read(part, std::min(kSamplePart, offset + length - part));
    }
    if (m_interrupted)
        return {};
    Layout best;
    std::uint64_t bestBytes = 0;
    std::vector<std::uint8_t> used;
    for (std::uint32_t size = kMinPageSize; size <= kMaxPageSize; size *= 2) {
        const auto whole = [&](std::uint64_t n) {
            const size_t offset = static_cast<size_t>((n - 1) * size);
            return std::all_of(readable.begin() + static_cast<std::ptrdiff_t>(offset / kSamplePart),
                readable.begin() + static_cast<std::ptrdiff_t>((offset + size + kSamplePart - 1) / kSamplePart), [](bool part) { return part; });
        };
        // The tails tried: the header's, none, and the few the pages show most often.
        std::array<std::uint32_t, 256> votes {};
        for (std::uint64_t n = first; n * size <= end; ++n) {
            if (!whole(n))
                continue;
            if (const auto tail = reservedOf(bytes.data() + (n - 1) * size, size, n == 1 ? 100 : 0))
                ++votes[*tail];
        }
        std::vector<std::uint32_t> tails;
        if (headerReserved)
            tails.push_back(*headerReserved);
        tails.push_back(0);
        for (int i = 0; i < 3; ++i) {
            const auto most = std::max_element(votes.begin(), votes.end());
            if (*most == 0)
                break;
            tails.push_back(static_cast<std::uint32_t>(most - votes.begin()));
            *most = 0;
        }
        for (size_t t = 0; t < tails.size(); ++t) {
            const std::uint32_t reserved = tails[t];
            if (size - reserved < kMinUsable || std::find(tails.begin(), tails.begin() + static_cast<std::ptrdiff_t>(t), reserved) != tails.begin() + static_cast<std::ptrdiff_t>(t))
                continue;
            std::uint64_t wellFormedBytes = 0;
            for (std::uint64_t n = first; n * size <= end; ++n) {
                if (whole(n) && wellFormedPage(bytes.data() + (n - 1) * size, size - reserved, n == 1 ? 100 : 0, used))
                    wellFormedBytes += size;
            }
            if (wellFormedBytes > bestBytes) {
                best = { size, reserved };
                bestBytes = wellFormedBytes;
            }
        }
    }
    return best;
}

std::uint64_t PageReader::databaseBytes() const
{
    return std::min<std::uint64_t>(std::uint64_t { m_header.pageCount } * m_header.pageSize, m_source.dataEnd());
}

bool PageReader::wellFormed(std::uint32_t number, const std::vector<std::uint8_t>& bytes) const
{
    std::vector<std::uint8_t> used;
    return bytes.size() >= m_header.usable && wellFormedPage(bytes.data(), m_header.usable, number == 1 ? 100 : 0, used);
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
    if (page.type != kTableInterior && page.type != kIndexInterior)
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

std::optional<PageReader::Cell> PageReader::cell(const BTree& page, const std::vector<std::uint8_t>& bytes, size_t index) const
{
    if (page.type != kTableLeaf || index >= page.cells.size())
        return std::nullopt;
    const size_t usable = std::min<size_t>(m_header.usable, bytes.size());
    size_t at = page.cells[index];
    const auto payloadSize = varint(bytes.data(), usable, at);
    const auto rowid = varint(bytes.data(), usable, at);
    if (!payloadSize || !rowid || *payloadSize > kMaxPayloadBytes)
        return std::nullopt;
    bool overflows = false;
    const std::uint64_t local = localBytes(kTableLeaf, usable, *payloadSize, overflows);
    if (at + local + (overflows ? 4 : 0) > usable)
        return std::nullopt;
    Cell cell;
    cell.rowid = static_cast<std::int64_t>(*rowid);
    cell.payloadSize = *payloadSize;
    cell.local = static_cast<std::uint32_t>(at);
    cell.localSize = static_cast<std::uint32_t>(local);
    if (overflows) {
        cell.firstOverflow = be32(&bytes[at + local]);
        if (cell.firstOverflow == 0)
            return std::nullopt;
    }
    return cell;
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

std::optional<size_t> PageReader::recordValues(const std::uint8_t* payload, size_t size, size_t maxValues, size_t maxValueBytes)
{
    size_t at = 0;
    const auto headerSize = varint(payload, size, at);
    if (!headerSize || *headerSize < at || *headerSize > size)
        return std::nullopt;
    const size_t headerEnd = static_cast<size_t>(*headerSize);
    size_t values = 0;
    std::uint64_t body = 0;
    static constexpr std::uint64_t kFixedBytes[] = { 0, 1, 2, 3, 4, 6, 8, 8, 0, 0 };
    while (at < headerEnd) {
        const auto type = varint(payload, headerEnd, at);
        if (!type || type == 10u || type == 11u || values == maxValues)
            return std::nullopt;
        ++values;
        if (*type < 10) {
            body += kFixedBytes[*type];
        } else {
            const std::uint64_t n = (*type - 12) / 2;
            if (n > maxValueBytes)
                return std::nullopt;
            body += n;
        }
        if (body > size - headerEnd)
            return std::nullopt;
    }
    return values;
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
    // Each type takes a byte of the header at least.
    types.reserve(std::min(maxValues, headerEnd - at));
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
