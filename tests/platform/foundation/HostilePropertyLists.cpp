#include "HostilePropertyLists.h"

#include <algorithm>
#include <stdexcept>

namespace hostile_plist {

pf::Bytes rawBinaryPlist(const std::vector<std::vector<std::uint32_t>>& entries)
{
    pf::Bytes out { 'b', 'p', 'l', 'i', 's', 't', '0', '0' };
    std::vector<std::uint32_t> offsets;
    auto be32 = [&](std::uint32_t v) {
        for (int s = 24; s >= 0; s -= 8)
            out.push_back(static_cast<std::uint8_t>(v >> s));
    };
    for (const auto& refs : entries) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        if (refs.size() < 15) {
            out.push_back(static_cast<std::uint8_t>(0xA0 | refs.size()));
        } else {
            out.push_back(0xAF);
            out.push_back(0x12);
            be32(static_cast<std::uint32_t>(refs.size()));
        }
        for (auto r : refs)
            be32(r);
    }
    auto table = static_cast<std::uint32_t>(out.size());
    for (auto o : offsets)
        be32(o);
    out.insert(out.end(), 6, 0);
    out.push_back(4);
    out.push_back(4);
    auto be64 = [&](std::uint64_t v) {
        for (int s = 56; s >= 0; s -= 8)
            out.push_back(static_cast<std::uint8_t>(v >> s));
    };
    be64(entries.size());
    be64(0);
    be64(table);
    return out;
}

namespace {

// Levels 0..k: level i holds level i+1 directly and again at the end of a chain `chain` long.
// Walking depth first meets every level first through the short way, so the nesting (about
// k * chain) is only seen by carrying what was measured below a shared entry to its other use.
pf::Bytes nestedThroughSharedEntries(std::uint32_t levels, std::uint32_t chain)
{
    std::vector<std::vector<std::uint32_t>> entries(levels + 1);
    for (std::uint32_t i = 0; i < levels; ++i) {
        auto first = static_cast<std::uint32_t>(entries.size());
        entries[i] = { i + 1, first };
        for (std::uint32_t j = 0; j + 1 < chain; ++j)
            entries.push_back({ first + j + 1 });
        entries.push_back({ i + 1 });
    }
    return rawBinaryPlist(entries);
}

}

std::vector<std::pair<std::string, pf::Bytes>> hostileBinaryLists(int maxNesting)
{
    // 100000 arrays nested in each other: the library would recurse off the stack.
    std::vector<std::vector<std::uint32_t>> deep(100000);
    for (std::uint32_t i = 0; i + 1 < deep.size(); ++i)
        deep[i] = { i + 1 };
    // 30 levels each holding the next twice: 2^30 values once shared entries are copied.
    std::vector<std::vector<std::uint32_t>> wide(30);
    for (std::uint32_t i = 0; i + 1 < wide.size(); ++i)
        wide[i] = { i + 1, i + 1 };
    std::vector<std::vector<std::uint32_t>> loop { { 1 }, { 0 } };
    pf::Bytes longContainer = rawBinaryPlist({ std::vector<std::uint32_t>(20, 0) });
    longContainer[13] = 0x7F; // claims far more references than follow
    // A UTF-16 text "a" followed by a NUL: the library asserts on such texts.
    pf::Bytes nulText { 'b', 'p', 'l', 'i', 's', 't', '0', '0', 0x62, 0, 'a', 0, 0, 0, 0, 0, 8 };
    nulText.insert(nulText.end(), { 0, 0, 0, 0, 0, 0, 4, 4, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 13 });
    return {
        { "deep", rawBinaryPlist(deep) },
        { "deep through shared entries", nestedThroughSharedEntries(10, static_cast<std::uint32_t>(maxNesting * 2 / 3)) },
        { "wide", rawBinaryPlist(wide) },
        { "loop", rawBinaryPlist(loop) },
        { "long container", longContainer },
        { "nul text", nulText },
    };
}

pf::Bytes withReplaced(pf::Bytes bytes, std::string_view from, std::string_view to)
{
    std::string_view all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    size_t at = all.find(from);
    if (at == std::string_view::npos || from.size() != to.size())
        throw std::invalid_argument("nothing to replace");
    std::copy(to.begin(), to.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    return bytes;
}

}
