#pragma once

#include "sdk/lmconnect/lmapi/LMDataArray.h"
#include "sdk/lmconnect/lmapi/LMPasteboard.h"

// A pasteboard holding one archived LMDataArray. Bytes that are no such archive count as no
// array: adding then sets them aside (`pf::Pasteboard::setAside`) and starts a new one, and
// nothing else writes over them.
class LMArrayPasteboard : public LMPasteboard {
public:
    using LMPasteboard::LMPasteboard;

    template <typename T>
    void addObject(const std::shared_ptr<T>& object) const
    {
        if (!object)
            return;
        auto array = arrayToExtend();
        array->addObject(object);
        writeArray(*array);
    }
    // True only when an element was removed and the array written back.
    bool removeObjectAtIndex(long index) const;
    template <typename T>
    bool replaceObjectAtIndex(long index, const std::shared_ptr<T>& object) const
    {
        auto array = readArray();
        if (!object || !array || array->count() == 0 || !array->replaceObjectAtIndex(index, object))
            return false;
        writeArray(*array);
        return true;
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
    void writeArray(const LMDataArray& array) const;
};
