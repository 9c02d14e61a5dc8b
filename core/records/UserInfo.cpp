#include "core/records/UserInfo.h"

#include "core/records/RecordFields.h"

std::shared_ptr<UserInfo> UserInfo::itemFromDictionary(const pf::Value& object)
{
    auto r = std::make_shared<UserInfo>();
    r->m_nickname = RecordFields::text(object, "nickname");
    r->m_usertoken = RecordFields::text(object, "usertoken");
    r->m_uid = RecordFields::integer(object, "uid");
    r->m_extcredits1 = RecordFields::integer(object, "extcredits1");
    r->m_extcredits2 = RecordFields::integer(object, "extcredits2");
    r->m_avatar = RecordFields::text(object, "avatar");
    r->m_updatecredit = RecordFields::flag(object, "updatecredit");
    r->m_ext1 = RecordFields::integer(object, "ext1");
    r->m_ext2 = RecordFields::integer(object, "ext2");
    r->m_userName = RecordFields::text(object, "username");
    return r;
}

std::optional<UserInfo::List> UserInfo::listFromDictionary(const pf::Value& reply)
{
    return RecordFields::list<UserInfo>(reply["body"]);
}
