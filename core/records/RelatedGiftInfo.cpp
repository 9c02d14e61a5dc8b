#include "core/records/RelatedGiftInfo.h"

#include "core/records/RecordFields.h"

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
