#include "core/records/UserLoginInfo.h"

#include "core/records/RecordFields.h"

std::shared_ptr<UserLoginInfo> UserLoginInfo::itemFromDictionary(const pf::Value& object)
{
    auto r = std::make_shared<UserLoginInfo>();
    r->m_uid = RecordFields::integer(object, "uid");
    r->m_nickName = RecordFields::text(object, "nickName");
    r->m_avatar = RecordFields::text(object, "avatar");
    r->m_usertoken = RecordFields::text(object, "usertoken");
    r->m_expires = RecordFields::integer(object, "expires");
    r->m_expiresIn = RecordFields::integer(object, "expires_in");
    r->m_updatecredit = RecordFields::flag(object, "updatecredit");
    r->m_ext1 = RecordFields::integer(object, "ext1");
    r->m_ext2 = RecordFields::integer(object, "ext2");
    return r;
}

std::optional<UserLoginInfo::List> UserLoginInfo::listFromDictionary(const pf::Value& reply)
{
    return RecordFields::list<UserLoginInfo>(reply["body"]);
}
