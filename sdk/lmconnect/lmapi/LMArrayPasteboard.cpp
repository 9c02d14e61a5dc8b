#include "sdk/lmconnect/lmapi/LMArrayPasteboard.h"

bool LMArrayPasteboard::removeObjectAtIndex(long index) const
{
    auto array = readArray();
    if (!array || !array->removeObjectAtIndex(index))
        return false;
    writeArray(*array);
    return true;
}

std::shared_ptr<LMDataArray> LMArrayPasteboard::readArray() const
{
    auto data = readData();
    return data ? pf::KeyedUnarchiver::unarchivedObject<LMDataArray>(*data) : nullptr;
}

void LMArrayPasteboard::writeArray(const LMDataArray& array) const
{
    writeData(pf::KeyedArchiver::archivedData(array));
}
