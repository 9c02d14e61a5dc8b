#pragma once

#include "core/records/RelatedGiftInfo.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <algorithm>
#include <limits>

// How a related gift goes into a keyed archive (the "abouts" column of the booked-gift table):
// "fid" and "status" as integers, "title" as a text. An absent or null title is written as
// the empty text, so no placeholder word ever reaches the file; integers read back beyond the
// 32-bit range stop at its bounds.
template <>
struct pf::ArchiveCoding<RelatedGiftInfo> {
    static std::string_view className() { return "RelatedGiftInfo"; }

    static void encode(const RelatedGiftInfo& gift, pf::KeyedArchiver& coder)
    {
        coder.encodeInteger(RelatedGiftInfo::kKeyFid, gift.fid());
        coder.encodeText(RelatedGiftInfo::kKeyTitle, gift.title().text());
        coder.encodeInteger(RelatedGiftInfo::kKeyStatus, gift.status());
    }

    static std::shared_ptr<RelatedGiftInfo> decode(pf::KeyedUnarchiver& coder)
    {
        auto gift = std::make_shared<RelatedGiftInfo>();
        gift->setFid(clamped(coder.decodeInteger(RelatedGiftInfo::kKeyFid)));
        gift->setTitle(RecordText(coder.decodeText(RelatedGiftInfo::kKeyTitle).value_or("")));
        gift->setStatus(clamped(coder.decodeInteger(RelatedGiftInfo::kKeyStatus)));
        return gift;
    }

    static int clamped(std::int64_t v)
    {
        return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    }
};
