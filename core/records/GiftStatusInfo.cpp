#include "core/records/GiftStatusInfo.h"

#include "core/records/RecordFields.h"

std::shared_ptr<GiftStatusInfo> GiftStatusInfo::itemFromDictionary(const pf::Value& object)
{
    auto r = std::make_shared<GiftStatusInfo>();
    r->m_fid = RecordFields::integer(object, "fid");
    r->m_status = RecordFields::integer(object, "status");
    r->m_startTime = RecordFields::longInteger(object, "startTime");
    r->m_endTime = RecordFields::longInteger(object, "endTime");
    return r;
}

std::optional<GiftStatusInfo::List> GiftStatusInfo::listFromDictionary(const pf::Value& reply)
{
    return RecordFields::list<GiftStatusInfo>(reply["body"]);
}
