#pragma once

#include "core/records/RecordText.h"
#include "platform/foundation/Value.h"

#include <memory>

// The answer of "game/verup": whether a newer build is offered (`status` 1) and where its
// install manifest lies (`downloadURL`, from "downurl"). There is no list form.
class BoxUpdatingInfo {
public:
    // One record from the reply's "body" object; any other value gives an empty record.
    static std::shared_ptr<BoxUpdatingInfo> itemFromDictionary(const pf::Value& object);

    const RecordText& pageName() const { return m_pageName; }
    void setPageName(RecordText v) { m_pageName = std::move(v); }
    const RecordText& versionName() const { return m_versionName; }
    void setVersionName(RecordText v) { m_versionName = std::move(v); }
    const RecordText& version() const { return m_version; }
    void setVersion(RecordText v) { m_version = std::move(v); }
    const RecordText& title() const { return m_title; }
    void setTitle(RecordText v) { m_title = std::move(v); }
    int pubdate() const { return m_pubdate; }
    void setPubdate(int v) { m_pubdate = v; }
    const RecordText& downloadURL() const { return m_downloadURL; }
    void setDownloadURL(RecordText v) { m_downloadURL = std::move(v); }
    int size() const { return m_size; }
    void setSize(int v) { m_size = v; }
    const RecordText& litpic() const { return m_litpic; }
    void setLitpic(RecordText v) { m_litpic = std::move(v); }
    const RecordText& info() const { return m_info; }
    void setInfo(RecordText v) { m_info = std::move(v); }
    int status() const { return m_status; }
    void setStatus(int v) { m_status = v; }

private:
    RecordText m_pageName;
    RecordText m_versionName;
    RecordText m_version;
    RecordText m_title;
    int m_pubdate { 0 };
    RecordText m_downloadURL;
    int m_size { 0 };
    RecordText m_litpic;
    RecordText m_info;
    int m_status { 0 };
};
