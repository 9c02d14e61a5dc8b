#include "core/records/UserRegisterInfo.h"

#include "core/records/RecordFields.h"

std::shared_ptr<UserRegisterInfo> UserRegisterInfo::itemFromDictionary(const pf::Value& object)
{
    auto r = std::make_shared<UserRegisterInfo>();
    r->m_nickname = RecordFields::text(object, "nickname");
    r->m_extcredits1 = RecordFields::integer(object, "extcredits1");
    r->m_extcredits2 = RecordFields::integer(object, "extcredits2");
    r->m_usertoken = RecordFields::text(object, "usertoken");
    r->m_expires = RecordFields::integer(object, "expires");
    r->m_expiresIn = RecordFields::integer(object, "expires_in");
    r->m_uid = RecordFields::integer(object, "uid");
    r->m_updatecredit = RecordFields::flag(object, "updatecredit");
    r->m_ext1 = RecordFields::integer(object, "ext1");
    r->m_ext2 = RecordFields::integer(object, "ext2");
    return r;
}

std::optional<UserRegisterInfo::List> UserRegisterInfo::listFromDictionary(const pf::Value& reply)
{
    return RecordFields::list<UserRegisterInfo>(reply["body"]);
}
