#include "platform/foundation/PropertyListDates.h"

#include "platform/foundation/PropertyListCheck.h"

#include <bit>
#include <limits>

namespace pf {

namespace {

constexpr std::uint8_t kDateMarker = 0x33;
constexpr std::uint64_t kDateSize = 9; // the marker and a big-endian double

bool fail(std::string* error, const char* reason)
{
    if (error)
        *error = reason;
    return false;
}

double readTime(const std::uint8_t* at)
{
    return std::bit_cast<double>(BinaryPropertyListTrailer::readNumber(at, 8));
}

void writeTime(std::uint8_t* at, double time)
{
    auto bits = std::bit_cast<std::uint64_t>(time);
    for (int i = 7; i >= 0; --i, bits >>= 8)
        at[i] = static_cast<std::uint8_t>(bits & 0xFF);
}

// The ordinal that `ordinal` is, among `count` given out.
std::optional<std::size_t> ordinalIn(double ordinal, std::size_t count)
{
    if (!(ordinal >= 0 && ordinal < static_cast<double>(count)) || ordinal != static_cast<double>(static_cast<std::size_t>(ordinal)))
        return std::nullopt;
    return static_cast<std::size_t>(ordinal);
}

// Where the date entries of binary data start; `visit(at)` answers whether to go on.
template <typename Visit>
bool forEachDate(const std::uint8_t* bytes, const BinaryPropertyListTrailer& trailer, std::string* error, Visit visit)
{
    for (std::uint64_t entry = 0; entry < trailer.count; ++entry) {
        std::uint64_t at = trailer.entryOffset(bytes, entry);
        if (at < 8 || at >= trailer.tableOffset || bytes[at] != kDateMarker)
            continue;
        if (trailer.tableOffset - at < kDateSize)
            return fail(error, "a property-list date runs past the data");
        if (!visit(at))
            return false;
    }
    return true;
}

}

bool BinaryDateTimes::take(std::string_view data, std::string* error)
{
    auto trailer = BinaryPropertyListTrailer::read(data, error);
    if (!trailer)
        return false;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    std::uint8_t* copy = nullptr;
    bool taken = forEachDate(bytes, *trailer, error, [&](std::uint64_t at) {
        if (m_times.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
            return fail(error, "the property list holds too many dates");
        if (!copy) {
            m_copy.assign(data);
            copy = reinterpret_cast<std::uint8_t*>(m_copy.data());
        }
        writeTime(copy + at + 1, static_cast<double>(m_times.size()));
        m_times.push_back(readTime(bytes + at + 1));
        return true;
    });
    if (!taken || !copy)
        return taken;
    // An ordinal written over another entry's start would change what the library reads there,
    // and one written over another date's ordinal would lend that date a time not its own.
    for (std::uint64_t entry = 0; entry < trailer->count; ++entry) {
        std::uint64_t at = trailer->entryOffset(bytes, entry);
        if (at >= 8 && at < trailer->tableOffset && copy[at] != bytes[at])
            return fail(error, "property-list entries overlap");
    }
    return forEachDate(copy, *trailer, error, [&](std::uint64_t at) {
        auto ordinal = ordinalIn(readTime(copy + at + 1), m_times.size());
        return (ordinal && std::bit_cast<std::uint64_t>(m_times[*ordinal]) == BinaryPropertyListTrailer::readNumber(bytes + at + 1, 8))
            || fail(error, "property-list entries overlap");
    });
}

std::optional<double> BinaryDateTimes::timeOf(std::int32_t seconds, std::int32_t microseconds) const
{
    auto ordinal = microseconds == 0 ? ordinalIn(seconds, m_times.size()) : std::nullopt;
    if (!ordinal)
        return std::nullopt;
    return m_times[*ordinal];
}

std::int32_t BinaryDateTimes::ordinalOf(double time)
{
    auto [known, added] = m_ordinals.try_emplace(std::bit_cast<std::uint64_t>(time), static_cast<std::int32_t>(m_times.size()));
    if (added)
        m_times.push_back(time);
    return known->second;
}

bool BinaryDateTimes::put(char* written, std::uint32_t length, std::string* error) const
{
    if (m_times.empty())
        return true;
    auto trailer = BinaryPropertyListTrailer::read(std::string_view(written, length), error);
    if (!trailer)
        return false;
    auto* bytes = reinterpret_cast<std::uint8_t*>(written);
    return forEachDate(bytes, *trailer, error, [&](std::uint64_t at) {
        auto ordinal = ordinalIn(readTime(bytes + at + 1), m_times.size());
        if (!ordinal)
            return fail(error, "cannot write the property list's dates");
        writeTime(bytes + at + 1, m_times[*ordinal]);
        return true;
    });
}

}
