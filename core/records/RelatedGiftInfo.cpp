#include "core/records/RelatedGiftInfo.h"

#include "core/records/RecordFields.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <array>

std::shared_ptr<RelatedGiftInfo> RelatedGiftInfo::itemFromDictionary(const pf::Value& object)
{
    auto record = std::make_shared<RelatedGiftInfo>();
    record->m_fid = RecordFields::integer(object, kKeyFid);
    record->m_title = RecordFields::text(object, kKeyTitle);
    record->m_status = RecordFields::integer(object, kKeyStatus);
    return record;
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
    coder.encodeText(kKeyTitle, m_title.text());
    coder.encodeInteger(kKeyStatus, m_status);
}

std::shared_ptr<RelatedGiftInfo> RelatedGiftInfo::initWithCoder(pf::KeyedUnarchiver& coder)
{
    static constexpr std::array<const char*, 3> kKeys { kKeyFid, kKeyTitle, kKeyStatus };
    return itemFromArchiveValue(RecordFields::archivedFields(coder, kKeys));
}
