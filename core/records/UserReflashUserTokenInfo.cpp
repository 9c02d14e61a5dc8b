#include "core/records/UserReflashUserTokenInfo.h"

#include "core/records/RecordFields.h"

std::shared_ptr<UserReflashUserTokenInfo> UserReflashUserTokenInfo::itemFromDictionary(const pf::Value& object)
{
    auto r = std::make_shared<UserReflashUserTokenInfo>();
    r->m_nickname = RecordFields::text(object, "nickname");
    r->m_usertoken = RecordFields::text(object, "usertoken");
    r->m_expires = RecordFields::integer(object, "expires");
    r->m_uid = RecordFields::integer(object, "uid");
    return r;
}

std::optional<UserReflashUserTokenInfo::List> UserReflashUserTokenInfo::listFromDictionary(const pf::Value& reply)
{
    return RecordFields::list<UserReflashUserTokenInfo>(reply["body"]);
}
