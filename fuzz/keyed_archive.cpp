// Keyed archives through the unarchiver, asking for the classes the app expects: the related
// gifts the booked-gift store keeps as a list, a single one as a root object, and a whole gift
// detail. A gift detail that reads is written again and must read back to the same archive.
#include "core/records/GiftDetailInfo.h"
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    pf::Bytes archive = fuzz::bytes(data, size);
    std::string error;
    pf::KeyedUnarchiver::unarchivedObjects<RelatedGiftInfo>(archive, &error);
    pf::KeyedUnarchiver::unarchivedObject<RelatedGiftInfo>(archive, &error);
    if (auto gift = pf::KeyedUnarchiver::unarchivedObject<GiftDetailInfo>(archive, &error)) {
        pf::Bytes again = pf::KeyedArchiver::archivedData(*gift);
        auto back = pf::KeyedUnarchiver::unarchivedObject<GiftDetailInfo>(again);
        if (!back || pf::KeyedArchiver::archivedData(*back) != again)
            std::abort();
    }
    return 0;
}
