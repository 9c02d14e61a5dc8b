#include "core/records/VerificationCodeInfo.h"

#include "core/records/RecordFields.h"

std::shared_ptr<VerificationCodeInfo> VerificationCodeInfo::itemFromDictionary(const pf::Value& object)
{
    auto r = std::make_shared<VerificationCodeInfo>();
    r->m_verifystr = RecordFields::text(object, "verifystr");
    r->m_verikey = RecordFields::textPieces(object, "verikey", '|');
    r->m_url = RecordFields::text(object, "url");
    return r;
}
