#include "core/records/MyGiftInfo.h"

#include "core/records/RecordFields.h"

std::shared_ptr<MyGiftInfo> MyGiftInfo::itemFromDictionary(const pf::Value& object)
{
    auto r = std::make_shared<MyGiftInfo>();
    r->m_title = RecordFields::text(object, "title");
    r->m_startTime = RecordFields::longInteger(object, "startime");
    r->m_endTime = RecordFields::longInteger(object, "endtime");
    r->m_fid = RecordFields::integer(object, "fid");
    r->m_code = RecordFields::text(object, "code");
    r->m_type = RecordFields::text(object, "type");
    r->m_extcredits1 = RecordFields::integer(object, "extcredits1");
    r->m_extcredits2 = RecordFields::integer(object, "extcredits2");
    r->m_litpic = RecordFields::text(object, "litpic");
    return r;
}

std::optional<MyGiftInfo::List> MyGiftInfo::listFromDictionary(const pf::Value& reply)
{
    return RecordFields::list<MyGiftInfo>(reply["body"]);
}
