#pragma once

#include <vector>

// Safe reads over lists: a read outside the list (negative, or not below the count) gives a
// default value: null for pointers, which is what the screens store.
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
};
