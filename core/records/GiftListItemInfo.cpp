#include "core/records/GiftListItemInfo.h"

#include "core/records/RecordFields.h"

std::shared_ptr<GiftListItemInfo> GiftListItemInfo::itemFromDictionary(const pf::Value& object)
{
    auto r = std::make_shared<GiftListItemInfo>();
    r->m_fid = RecordFields::integer(object, "fid");
    r->m_title = RecordFields::text(object, "title");
    r->m_status = RecordFields::integer(object, "status");
    r->m_litpic = RecordFields::text(object, "litpic");
    r->m_total = RecordFields::integer(object, "total");
    r->m_send = RecordFields::integer(object, "send");
    r->m_startTime = RecordFields::longInteger(object, "startime");
    r->m_endTime = RecordFields::longInteger(object, "endtime");
    r->m_extcredits1 = RecordFields::integer(object, "extcredits1");
    r->m_extcredits2 = RecordFields::integer(object, "extcredits2");
    return r;
}

std::optional<GiftListItemInfo::List> GiftListItemInfo::listFromDictionary(const pf::Value& reply)
{
    return RecordFields::list<GiftListItemInfo>(reply["body"]);
}
