#include "core/records/GiftSearchingResultItemInfo.h"

#include "core/records/RecordFields.h"

std::shared_ptr<GiftSearchingResultItemInfo> GiftSearchingResultItemInfo::itemFromDictionary(const pf::Value& object)
{
    auto r = std::make_shared<GiftSearchingResultItemInfo>();
    r->m_fid = RecordFields::integer(object, "fid");
    r->m_title = RecordFields::text(object, "title");
    r->m_status = RecordFields::integer(object, "status");
    r->m_litpic = RecordFields::text(object, "litpic");
    r->m_total = RecordFields::integer(object, "total");
    r->m_send = RecordFields::integer(object, "send");
    r->m_startTime = RecordFields::longInteger(object, "startTime");
    r->m_endTime = RecordFields::longInteger(object, "endTime");
    r->m_extcredits1 = RecordFields::integer(object, "extcredits1");
    r->m_extcredits2 = RecordFields::integer(object, "extcredits2");
    r->m_taoExt1 = RecordFields::integer(object, "tao_ext1");
    return r;
}

std::optional<GiftSearchingResultItemInfo::List> GiftSearchingResultItemInfo::listFromDictionary(const pf::Value& reply)
{
    return RecordFields::list<GiftSearchingResultItemInfo>(reply["body"]);
}
