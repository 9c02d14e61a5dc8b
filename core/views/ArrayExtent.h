#pragma once

#include "platform/foundation/Value.h"

#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

// Safe reads over lists: a read outside the list (negative, or not below the count) gives a
// default value: null for pointers, which is what the screens store. Also key sorting and
// shuffling of lists.
class ArrayExtent {
public:
    template <class T>
    static T valueAtIndex(const std::vector<T>& list, long long index)
    {
        if (index < 0 || static_cast<unsigned long long>(index) >= list.size())
            return T {};
        return list[static_cast<size_t>(index)];
    }

    // `sections` is a list of sections, each a list of rows.
    template <class T>
    static T valueAtIndexPath(const std::vector<std::vector<T>>& sections, long long section, long long row)
    {
        if (section < 0 || static_cast<unsigned long long>(section) >= sections.size())
            return T {};
        return valueAtIndex(sections[static_cast<size_t>(section)], row);
    }

    // A copy sorted by one key, as a sort descriptor on that key sorts. The key is a key path:
    // names joined by "." step into nested dictionaries. The sort is stable. Values compare
    // within their kind (numbers by value, texts by their bytes, dates by time); an element
    // without the key (or with null there, or not a dictionary) comes before every value, and
    // values of different kinds are ordered numbers, texts, dates, then anything else, which
    // ties. Descending reverses the comparison, so ties keep their order. An empty key gives
    // the list unchanged.
    static pf::Array sortedArrayWithKeyAscending(const pf::Array& list, std::string_view key, bool ascending);
    // The same in place; an empty key leaves the list as it is.
    static void sortWithKeyAscending(pf::Array& list, std::string_view key, bool ascending);

    // A shuffled copy: for i from the last index down to 1, element i is swapped with element
    // rand() % (i + 1), the C library's generator as the process left it. A list of none or one
    // element comes back as it was.
    template <class T>
    static std::vector<T> randomizedArray(const std::vector<T>& list)
    {
        std::vector<T> shuffled = list;
        for (size_t i = shuffled.size(); i-- > 1;)
            std::swap(shuffled[i], shuffled[static_cast<size_t>(std::rand()) % (i + 1)]);
        return shuffled;
    }
};
