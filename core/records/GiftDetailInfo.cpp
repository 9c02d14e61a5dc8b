#include "core/records/GiftDetailInfo.h"

#include "core/records/RecordFields.h"
#include "platform/foundation/Log.h"

using namespace RecordFields;

std::shared_ptr<GiftDetailInfo> GiftDetailInfo::itemFromDictionary(const pf::Value& object)
{
    pf::Log::line(text(object, "tao_ext1").formatted());

    auto r = std::make_shared<GiftDetailInfo>();
    r->m_title = text(object, "title");
    r->m_arcurl = text(object, "arcurl");
    r->m_desc = text(object, "desc");
    r->m_info = text(object, "info");
    r->m_startTime = longInteger(object, "startime");
    r->m_endTime = longInteger(object, "endtime");
    r->m_fid = integer(object, "fid");
    r->m_draw = integer(object, "draw");
    r->m_doom = integer(object, "doom");
    r->m_status = integer(object, "status");
    r->m_type = text(object, "type");
    r->m_extcredits1 = integer(object, "extcredits1");
    r->m_extcredits2 = integer(object, "extcredits2");
    r->m_ext1 = integer(object, "ext1");
    r->m_ext2 = integer(object, "ext2");
    r->m_taoExt1 = integer(object, "tao_ext1");
    r->m_total = integer(object, "total");
    r->m_send = integer(object, "send");
    r->m_litpic = text(object, "litpic");
    r->m_abouts = RelatedGiftInfo::listFromDictionary(object);
    return r;
}

std::optional<GiftDetailInfo::List> GiftDetailInfo::listFromDictionary(const pf::Value& reply)
{
    return list<GiftDetailInfo>(reply["body"]);
}
