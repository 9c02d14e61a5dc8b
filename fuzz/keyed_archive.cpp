// Keyed archives through the unarchiver, asking for the classes the app expects: the related
// gifts the booked-gift store keeps as a list, a single one as a root object, and a whole gift
// detail. A gift detail that reads is written again and must read back to the same archive; a
// plain value that reads is written again and must read back to the same value, as must one read
// as another app's reply (lone surrogates as U+FFFD), which reads the same when the first does.
#include "core/records/GiftDetailInfo.h"
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <cstdlib>

namespace {

// Whether `value` stays within `budget` (values plus the bytes of texts, keys and data) once lists
// shared in the archive count at each use: a few hundred bytes can name a million values, which
// the writer would spell out one by one.
bool fitsBudget(const pf::Value& value, std::size_t& budget)
{
    std::size_t cost = 1;
    if (const std::string* text = value.asString())
        cost += text->size();
    if (const pf::Bytes* data = value.asData())
        cost += data->size();
    if (cost > budget)
        return false;
    budget -= cost;
    if (const pf::Array* array = value.asArray()) {
        for (const auto& item : *array)
            if (!fitsBudget(item, budget))
                return false;
    }
    if (const pf::Dictionary* dictionary = value.asDictionary()) {
        for (const auto& [key, item] : *dictionary) {
            if (key.size() > budget)
                return false;
            budget -= key.size();
            if (!fitsBudget(item, budget))
                return false;
        }
    }
    return true;
}

}

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
    auto value = pf::KeyedUnarchiver::unarchivedValue(archive, &error);
    auto reply = pf::KeyedUnarchiver::unarchivedValue(archive, &error, pf::LoneSurrogates::Replace);
    if (value && (!reply || !fuzz::sameValue(*value, *reply, 0)))
        std::abort();
    std::size_t budget = 1u << 20;
    if (reply && fitsBudget(*reply, budget)) {
        auto back = pf::KeyedUnarchiver::unarchivedValue(pf::KeyedArchiver::archivedValue(*reply));
        // Dates too come back exactly.
        if (!back || !fuzz::sameValue(*reply, *back, 0))
            std::abort();
    }
    return 0;
}
