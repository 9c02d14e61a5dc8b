#include "core/records/ShufflingImageInfo.h"

#include "core/records/RecordFields.h"

std::shared_ptr<ShufflingImageInfo> ShufflingImageInfo::itemFromDictionary(const pf::Value& object)
{
    auto r = std::make_shared<ShufflingImageInfo>();
    r->m_pubdate = RecordFields::integer(object, "pubdate");
    r->m_title = RecordFields::text(object, "title");
    r->m_arcid = RecordFields::integer(object, "arcid");
    r->m_litpic = RecordFields::text(object, "litpic");
    r->m_arcurl = RecordFields::text(object, "arcurl");
    r->m_type = RecordFields::integer(object, "type");
    return r;
}

std::optional<ShufflingImageInfo::List> ShufflingImageInfo::listFromDictionary(const pf::Value& reply)
{
    return RecordFields::list<ShufflingImageInfo>(reply["body"]);
}
