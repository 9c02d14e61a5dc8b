#pragma once

#include "platform/foundation/Value.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Test helper: binary property lists built byte by byte, including the hostile ones a reader of
// property lists must refuse without crashing, running out of memory or taking long.
namespace hostile_plist {

// A binary property list whose entry i is an array of the given references; entry 0 is the top.
pf::Bytes rawBinaryPlist(const std::vector<std::vector<std::uint32_t>>& entries);

// Named hostile lists, each to be refused by a reader allowing `maxNesting` levels (at least
// 30) and about a million values: nesting far too deep, nesting too deep only through an entry
// shared at a shallow and a deep place, shared entries that expand past a billion values,
// entries holding each other, a container claiming more references than follow, and a text
// holding a NUL character.
std::vector<std::pair<std::string, pf::Bytes>> hostileBinaryLists(int maxNesting);

// `bytes` with the first run equal to `from` replaced by `to` (as long): how a test puts into a
// list the library wrote a text it would never write (not UTF-8, an overlong NUL).
pf::Bytes withReplaced(pf::Bytes bytes, std::string_view from, std::string_view to);

template <typename F>
double secondsToRun(F&& f)
{
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}
