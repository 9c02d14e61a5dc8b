#include "core/records/GiftObtainInfo.h"

#include "core/records/RecordFields.h"

std::shared_ptr<GiftObtainInfo> GiftObtainInfo::itemFromDictionary(const pf::Value& object)
{
    auto r = std::make_shared<GiftObtainInfo>();
    r->m_fid = RecordFields::integer(object, "fid");
    r->m_codeString = RecordFields::text(object, "code");
    r->m_status = RecordFields::integer(object, "status");
    r->m_extcredits1 = RecordFields::integer(object, "extcredits1");
    r->m_extcredits2 = RecordFields::integer(object, "extcredits2");
    r->m_total = RecordFields::integer(object, "total");
    r->m_send = RecordFields::integer(object, "send");
    return r;
}

std::optional<GiftObtainInfo::List> GiftObtainInfo::listFromDictionary(const pf::Value& reply)
{
    return RecordFields::list<GiftObtainInfo>(reply["body"]);
}
