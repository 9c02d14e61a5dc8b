// The page reader and the walk a mend of the booked store makes over a damaged file: the input is
// the file's bytes, read as pages (the header's page size, or a guess where it does not read).
// Every walk ends, within reads bounded by the file's pages and memory bounded whatever a cell
// claims, whatever the bytes say (trees and free lists that lead back, overflow chains that loop,
// lengths past the page or the file), and every row it offers has the table's shape. (The memory
// limit counts what the fuzzer holds too, its corpus and the sanitizer's quarantine of freed
// blocks: a walk's own stays within tens of MB, where a payload taken at a cell's word held GBs.)
// fuzz-timeout: 5
// fuzz-rss-mb: 1024
#include "core/records/GiftDetailInfo.h"
#include "core/storage/PageReader.h"
#include "core/storage/PageSource.h"
#include "core/storage/SalvageWalk.h"
#include "fuzz/support/FuzzSupport.h"

#include <cstdlib>
#include <cstring>

namespace {

class InputSource : public PageSource {
public:
    InputSource(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {
    }
    std::uint64_t size() const override { return m_size; }
    Read read(std::uint64_t offset, std::size_t length, std::uint8_t* into) override
    {
        ++reads;
        if (offset > m_size || length > m_size - offset)
            return Read::Refused;
        std::memcpy(into, m_data + offset, length);
        return Read::Ok;
    }
    long reads = 0;

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    InputSource source(data, size);
    // The smallest page is 512 bytes: the file holds at most this many. The tree's walk reads
    // each page once, and once more as a page of a chain a row takes; the scan reads each page
    // nothing accounts for once, then again as it decides and offers: as a leaf at most twice to
    // settle the free list's trunks and once each to compare copies and to offer rows, and as a
    // page of a chain once in each of those (a page is in one chain at most); the header's guess
    // reads the file's first MiB once.
    const long bound = 64 + 12 * static_cast<long>(size / 512 + 1) + 16 * 8;
    long asked = 0;
    PageReader reader(source, [&] { return ++asked <= 1'000'000; });
    const size_t columns = GiftDetailInfo::kTableColumns.size();
    SalvageWalk walk(reader, { "GiftDetailInfoTableName", columns, 0, 1 << 20 });
    long long offered = 0;
    walk.run([&](std::int64_t rowid, const std::vector<SalvagedValue>& values) {
        if (values.size() != columns || values[0].kind != SalvagedValue::Kind::Integer || values[0].integer != rowid)
            std::abort();
        ++offered;
        return offered % 2 == 0;
    });
    // Overflow pages are read once for each row that names them: bounded by the payload's bytes.
    if (source.reads > bound + static_cast<long>(offered + walk.counts().leftOut + 1) * 2048)
        std::abort();
    return 0;
}
