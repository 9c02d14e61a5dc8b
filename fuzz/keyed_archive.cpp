// Keyed archives through the unarchiver, asking for the classes the app expects: the related
// gifts the booked-gift store keeps as a list, and a single one as a root object.
#include "core/storage/RelatedGiftInfoArchiving.h"
#include "fuzz/support/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    pf::Bytes archive = fuzz::bytes(data, size);
    std::string error;
    pf::KeyedUnarchiver::unarchivedObjects<RelatedGiftInfo>(archive, &error);
    pf::KeyedUnarchiver::unarchivedObject<RelatedGiftInfo>(archive, &error);
    return 0;
}
