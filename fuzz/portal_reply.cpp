// A portal reply body through the envelope check and every record the app reads from one.
// A gift detail's related gifts also go through the archive the booked-gift store keeps them in,
// and must come back as they went in (a title without its NULs).
#include "core/PortalReplyEnvelope.h"
#include "core/records/BoxUpdatingInfo.h"
#include "core/records/GiftDetailInfo.h"
#include "core/records/GiftListItemInfo.h"
#include "core/records/GiftObtainInfo.h"
#include "core/records/GiftSearchingResultItemInfo.h"
#include "core/records/GiftStatusInfo.h"
#include "core/records/MyGiftInfo.h"
#include "core/records/SearchingRecommmendationInfo.h"
#include "core/records/ShufflingImageInfo.h"
#include "core/records/UserInfo.h"
#include "core/records/UserLoginInfo.h"
#include "core/records/UserReflashUserTokenInfo.h"
#include "core/records/UserRegisterInfo.h"
#include "core/records/VerificationCodeInfo.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/TextEncoding.h"
#include "fuzz/support/FuzzSupport.h"

#include <cstdlib>

namespace {

template <class Record>
void readListAndItem(const PortalReplyEnvelope& envelope)
{
    Record::listFromDictionary(envelope.reply());
    Record::itemFromDictionary(envelope.body());
}

void checkArchiveRoundTrip(const RelatedGiftInfo::List& abouts)
{
    pf::Bytes archive = pf::KeyedArchiver::archivedData(abouts);
    auto back = pf::KeyedUnarchiver::unarchivedObjects<RelatedGiftInfo>(archive);
    if (!back || back->size() != abouts.size())
        std::abort();
    for (size_t i = 0; i < abouts.size(); ++i) {
        const RelatedGiftInfo& in = *abouts[i];
        const RelatedGiftInfo& out = *(*back)[i];
        // A NUL, which the archive cannot hold, is the one thing a title leaves behind.
        if (in.fid() != out.fid() || in.status() != out.status() || pf::TextEncoding::withoutNul(in.title().text()) != out.title().text())
            std::abort();
    }
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    auto envelope = PortalReplyEnvelope::parse(fuzz::bytes(data, size));
    envelope.isSuccess();
    envelope.message();
    if (!envelope.isObject())
        return 0;

    readListAndItem<GiftListItemInfo>(envelope);
    readListAndItem<GiftObtainInfo>(envelope);
    readListAndItem<GiftSearchingResultItemInfo>(envelope);
    readListAndItem<GiftStatusInfo>(envelope);
    readListAndItem<MyGiftInfo>(envelope);
    readListAndItem<SearchingRecommmendationInfo>(envelope);
    readListAndItem<ShufflingImageInfo>(envelope);
    readListAndItem<UserInfo>(envelope);
    readListAndItem<UserLoginInfo>(envelope);
    readListAndItem<UserReflashUserTokenInfo>(envelope);
    readListAndItem<UserRegisterInfo>(envelope);
    BoxUpdatingInfo::itemFromDictionary(envelope.body());
    VerificationCodeInfo::itemFromDictionary(envelope.body());

    if (auto details = GiftDetailInfo::listFromDictionary(envelope.reply())) {
        for (const auto& detail : *details)
            if (detail->abouts())
                checkArchiveRoundTrip(*detail->abouts());
    }
    auto detail = GiftDetailInfo::itemFromDictionary(envelope.body());
    if (detail->abouts())
        checkArchiveRoundTrip(*detail->abouts());
    return 0;
}
