#pragma once

#include "core/records/RecordText.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <vector>

// One carousel entry: an item of the "body" list of "arc/lun".
class ShufflingImageInfo {
public:
    using List = std::vector<std::shared_ptr<ShufflingImageInfo>>;

    // One record from one JSON object; any other value gives an empty record.
    static std::shared_ptr<ShufflingImageInfo> itemFromDictionary(const pf::Value& object);
    // The records of the reply's "body" list; no list when it is missing, not a list or empty.
    static std::optional<List> listFromDictionary(const pf::Value& reply);

    int pubdate() const { return m_pubdate; }
    void setPubdate(int v) { m_pubdate = v; }
    const RecordText& title() const { return m_title; }
    void setTitle(RecordText v) { m_title = std::move(v); }
    int arcid() const { return m_arcid; }
    void setArcid(int v) { m_arcid = v; }
    const RecordText& litpic() const { return m_litpic; }
    void setLitpic(RecordText v) { m_litpic = std::move(v); }
    const RecordText& arcurl() const { return m_arcurl; }
    void setArcurl(RecordText v) { m_arcurl = std::move(v); }
    int type() const { return m_type; }
    void setType(int v) { m_type = v; }

private:
    int m_pubdate { 0 };
    RecordText m_title;
    int m_arcid { 0 };
    RecordText m_litpic;
    RecordText m_arcurl;
    int m_type { 0 };
};
