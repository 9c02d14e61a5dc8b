#include "sdk/lmconnect/lmapi/LMArrayPasteboard.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/Pasteboard.h"

bool LMArrayPasteboard::removeObjectAtIndex(long index) const
{
    auto array = readArray();
    if (!array || !array->removeObjectAtIndex(index))
        return false;
    return writeArray(*array);
}

std::shared_ptr<LMDataArray> LMArrayPasteboard::readArray() const
{
    auto data = readData();
    return data ? pf::KeyedUnarchiver::unarchivedObject<LMDataArray>(*data) : nullptr;
}

std::shared_ptr<LMDataArray> LMArrayPasteboard::arrayToExtend() const
{
    if (auto array = readArray())
        return array;
    auto named = board();
    if (auto unread = named ? named->dataForType(name()) : std::nullopt; unread && !unread->empty()) {
        pf::Log::format("LM pasteboard %s: %zu bytes that are no list; setting them aside", name().c_str(), unread->size());
        named->setAside();
    }
    return std::make_shared<LMDataArray>();
}

bool LMArrayPasteboard::writeArray(const LMDataArray& array) const
{
    std::string error;
    pf::Bytes archive = pf::KeyedArchiver::archivedData(array, &error);
    return writeArchive(archive, error);
}
