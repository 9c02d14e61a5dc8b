#include "core/records/BoxUpdatingInfo.h"

#include "core/records/RecordFields.h"

std::shared_ptr<BoxUpdatingInfo> BoxUpdatingInfo::itemFromDictionary(const pf::Value& object)
{
    auto r = std::make_shared<BoxUpdatingInfo>();
    r->m_pageName = RecordFields::text(object, "pagename");
    r->m_versionName = RecordFields::text(object, "versionname");
    r->m_version = RecordFields::text(object, "version");
    r->m_title = RecordFields::text(object, "title");
    r->m_pubdate = RecordFields::integer(object, "pubdate");
    r->m_downloadURL = RecordFields::text(object, "downurl");
    r->m_size = RecordFields::integer(object, "size");
    r->m_litpic = RecordFields::text(object, "litpic");
    r->m_info = RecordFields::text(object, "info");
    r->m_status = RecordFields::integer(object, "status");
    return r;
}
