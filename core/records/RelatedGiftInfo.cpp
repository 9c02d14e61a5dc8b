#include "core/records/RelatedGiftInfo.h"

#include "core/records/RecordFields.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/TextEncoding.h"

namespace {

// The record read from its fields wherever they lie (`field(key)` gives one), so replies and
// archives take the same conversions.
template <typename Field>
std::shared_ptr<RelatedGiftInfo> fromFields(const Field& field)
{
    auto record = std::make_shared<RelatedGiftInfo>();
    record->setFid(RecordFields::integer(field(RelatedGiftInfo::kKeyFid)));
    record->setTitle(RecordText::fromJson(field(RelatedGiftInfo::kKeyTitle)));
    record->setStatus(RecordFields::integer(field(RelatedGiftInfo::kKeyStatus)));
    return record;
}

}

std::shared_ptr<RelatedGiftInfo> RelatedGiftInfo::itemFromDictionary(const pf::Value& object)
{
    return fromFields([&](const char* key) -> const pf::Value& { return object[key]; });
}

std::optional<RelatedGiftInfo::List> RelatedGiftInfo::listFromDictionary(const pf::Value& detail)
{
    return RecordFields::list<RelatedGiftInfo>(detail["abouts"]);
}

pf::Value RelatedGiftInfo::archiveValue() const
{
    pf::Value archived;
    archived.set(kKeyFid, m_fid);
    if (!m_title.isAbsent())
        archived.set(kKeyTitle, m_title.toValue());
    archived.set(kKeyStatus, m_status);
    return archived;
}

std::shared_ptr<RelatedGiftInfo> RelatedGiftInfo::itemFromArchiveValue(const pf::Value& archived)
{
    // The archived form uses the JSON keys and kinds, so the same reading applies.
    return itemFromDictionary(archived);
}

void RelatedGiftInfo::encodeWithCoder(pf::KeyedArchiver& coder) const
{
    coder.encodeInteger(kKeyFid, m_fid);
    // The archive cannot hold a NUL (a portal text may carry one): without it, rather than the
    // whole archive refused and the related list lost.
    coder.encodeText(kKeyTitle, pf::TextEncoding::withoutNul(m_title.text()));
    coder.encodeInteger(kKeyStatus, m_status);
}

std::shared_ptr<RelatedGiftInfo> RelatedGiftInfo::initWithCoder(pf::KeyedUnarchiver& coder)
{
    // A list of bookings reads thousands of these: the fields are read one by one.
    return fromFields([&](const char* key) { return RecordFields::archivedField(coder, key); });
}
