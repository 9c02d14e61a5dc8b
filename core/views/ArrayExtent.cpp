#include "core/views/ArrayExtent.h"

#include <algorithm>
#include <cmath>

namespace {

const pf::Value& valueForKeyPath(const pf::Value& element, std::string_view keyPath)
{
    const pf::Value* value = &element;
    for (;;) {
        size_t dot = keyPath.find('.');
        value = &(*value)[keyPath.substr(0, dot)];
        if (dot == std::string_view::npos)
            return *value;
        keyPath.remove_prefix(dot + 1);
    }
}

int kindRank(const pf::Value& value)
{
    if (value.isNone())
        return 0;
    if (value.isNumber())
        return 1;
    if (value.isString())
        return 2;
    if (value.asDate())
        return 3;
    return 4;
}

// <0, 0 or >0 as `a` sorts before, with or after `b`.
int compareValues(const pf::Value& a, const pf::Value& b)
{
    int rankA = kindRank(a);
    int rankB = kindRank(b);
    if (rankA != rankB)
        return rankA < rankB ? -1 : 1;
    switch (rankA) {
    case 1: {
        auto ia = a.asInteger();
        auto ib = b.asInteger();
        if (ia && ib)
            return *ia < *ib ? -1 : *ia > *ib;
        // A number that is no number sorts first among numbers, so the order stays total.
        double da = a.doubleValue();
        double db = b.doubleValue();
        if (std::isnan(da) || std::isnan(db))
            return std::isnan(db) - std::isnan(da);
        return da < db ? -1 : da > db;
    }
    case 2:
        return a.asString()->compare(*b.asString());
    case 3: {
        double da = a.asDate()->secondsSinceReference();
        double db = b.asDate()->secondsSinceReference();
        return da < db ? -1 : da > db;
    }
    default:
        return 0;
    }
}

}

pf::Array ArrayExtent::sortedArrayWithKeyAscending(const pf::Array& list, std::string_view key, bool ascending)
{
    pf::Array sorted = list;
    sortWithKeyAscending(sorted, key, ascending);
    return sorted;
}

void ArrayExtent::sortWithKeyAscending(pf::Array& list, std::string_view key, bool ascending)
{
    if (key.empty())
        return;
    std::stable_sort(list.begin(), list.end(), [key, ascending](const pf::Value& a, const pf::Value& b) {
        int order = compareValues(valueForKeyPath(a, key), valueForKeyPath(b, key));
        return ascending ? order < 0 : order > 0;
    });
}
