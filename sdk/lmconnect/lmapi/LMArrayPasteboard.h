#pragma once

#include "sdk/lmconnect/lmapi/LMDataArray.h"
#include "sdk/lmconnect/lmapi/LMPasteboard.h"

// A pasteboard holding one archived LMDataArray. Bytes that are no such archive count as no
// array: adding then sets them aside (`pf::Pasteboard::setAside`) and starts a new one, and
// nothing else writes over them. An object that cannot be archived is refused (false) and the
// board keeps what it held.
class LMArrayPasteboard : public LMPasteboard {
public:
    using LMPasteboard::LMPasteboard;

    // True only when the object was added and the array written back.
    template <typename T>
    bool addObject(const std::shared_ptr<T>& object) const
    {
        if (!object)
            return false;
        auto array = arrayToExtend();
        if (!array->addObject(object))
            return refuse("an object that cannot be archived");
        return writeArray(*array);
    }
    // Replaces the array with the objects (null ones left out), or empties the board when there
    // are none; false, with the board as it was, when one of them cannot be archived.
    template <typename T>
    bool setObjectArray(const std::vector<std::shared_ptr<T>>& objects) const
    {
        std::vector<std::shared_ptr<T>> present;
        for (const auto& object : objects) {
            if (object)
                present.push_back(object);
        }
        auto array = LMDataArray::arrayWithObjectArray(present);
        if (!array)
            return refuse("an object that cannot be archived");
        clear();
        return array->count() == 0 || writeArray(*array);
    }
    // True only when an element was removed and the array written back.
    bool removeObjectAtIndex(long index) const;
    template <typename T>
    bool replaceObjectAtIndex(long index, const std::shared_ptr<T>& object) const
    {
        auto array = readArray();
        if (!object || !array || index < 0 || static_cast<size_t>(index) >= array->count())
            return false;
        if (!array->replaceObjectAtIndex(index, object))
            return refuse("an object that cannot be archived");
        return writeArray(*array);
    }
    // None without a stored array.
    template <typename T>
    std::optional<std::vector<std::shared_ptr<T>>> objectArray() const
    {
        auto array = readArray();
        if (!array)
            return std::nullopt;
        return array->objectArray<T>();
    }

private:
    std::shared_ptr<LMDataArray> readArray() const;
    // The stored array, else a new one, with what stood in its place set aside.
    std::shared_ptr<LMDataArray> arrayToExtend() const;
    bool writeArray(const LMDataArray& array) const;
};
