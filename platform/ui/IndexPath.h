#pragma once

#include <compare>
#include <string>

namespace pf {

// A row of a table: its section and its row within the section.
struct IndexPath {
    int section { 0 };
    int row { 0 };

    auto operator<=>(const IndexPath&) const = default;
    std::string description() const { return std::to_string(section) + "." + std::to_string(row); }
};

}
