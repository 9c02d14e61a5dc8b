#pragma once

#include "core/records/RecordText.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <vector>

// One hot word of the search screen: an item of the "body" list of "arc/tui".
class SearchingRecommmendationInfo {
public:
    using List = std::vector<std::shared_ptr<SearchingRecommmendationInfo>>;

    // One record from one JSON object; any other value gives an empty record.
    static std::shared_ptr<SearchingRecommmendationInfo> itemFromDictionary(const pf::Value& object);
    // The records of the reply's "body" list; no list when it is missing, not a list or empty.
    static std::optional<List> listFromDictionary(const pf::Value& reply);

    int arcid() const { return m_arcid; }
    void setArcid(int v) { m_arcid = v; }
    int type() const { return m_type; }
    void setType(int v) { m_type = v; }
    const RecordText& title() const { return m_title; }
    void setTitle(RecordText v) { m_title = std::move(v); }

private:
    int m_arcid { 0 };
    int m_type { 0 };
    RecordText m_title;
};
