#pragma once

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

// Safe reads and small conveniences over lists.
//
// Rules:
// - A read outside the list (negative, or not below the count) gives a default value: null for
//   pointers, which is what the screens store.
// - Sorting by a key keeps the order of equal keys; an empty key function leaves the order as
//   it is.
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

    template <class T, class Key>
    static std::vector<T> sortedArrayWithKey(const std::vector<T>& list, const std::function<Key(const T&)>& key, bool ascending)
    {
        std::vector<T> sorted = list;
        sortWithKey(sorted, key, ascending);
        return sorted;
    }

    template <class T, class Key>
    static void sortWithKey(std::vector<T>& list, const std::function<Key(const T&)>& key, bool ascending)
    {
        if (!key)
            return;
        std::stable_sort(list.begin(), list.end(), [&](const T& a, const T& b) {
            return ascending ? key(a) < key(b) : key(b) < key(a);
        });
    }

    // A shuffled copy (the C library's generator, as the process has seeded it).
    template <class T>
    static std::vector<T> randomizedArray(const std::vector<T>& list)
    {
        std::vector<T> shuffled = list;
        for (size_t i = shuffled.size(); i-- > 1;)
            std::swap(shuffled[i], shuffled[static_cast<size_t>(std::rand()) % (i + 1)]);
        return shuffled;
    }
};
