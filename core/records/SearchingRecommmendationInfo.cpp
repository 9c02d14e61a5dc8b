#include "core/records/SearchingRecommmendationInfo.h"

#include "core/records/RecordFields.h"

std::shared_ptr<SearchingRecommmendationInfo> SearchingRecommmendationInfo::itemFromDictionary(const pf::Value& object)
{
    auto r = std::make_shared<SearchingRecommmendationInfo>();
    r->m_arcid = RecordFields::integer(object, "arcid");
    r->m_type = RecordFields::integer(object, "type");
    r->m_title = RecordFields::text(object, "title");
    return r;
}

std::optional<SearchingRecommmendationInfo::List> SearchingRecommmendationInfo::listFromDictionary(const pf::Value& reply)
{
    return RecordFields::list<SearchingRecommmendationInfo>(reply["body"]);
}
