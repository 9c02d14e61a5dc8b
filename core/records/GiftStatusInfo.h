#pragma once

#include "core/records/RecordText.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <vector>

// The current state of a booked gift: an item of the "body" list of "ka/check". Times are read
// from "startTime" and "endTime".
class GiftStatusInfo {
public:
    using List = std::vector<std::shared_ptr<GiftStatusInfo>>;

    // One record from one JSON object; any other value gives an empty record.
    static std::shared_ptr<GiftStatusInfo> itemFromDictionary(const pf::Value& object);
    // The records of the reply's "body" list; no list when it is missing, not a list or empty.
    static std::optional<List> listFromDictionary(const pf::Value& reply);

    int fid() const { return m_fid; }
    void setFid(int v) { m_fid = v; }
    int status() const { return m_status; }
    void setStatus(int v) { m_status = v; }
    long long startTime() const { return m_startTime; }
    void setStartTime(long long v) { m_startTime = v; }
    long long endTime() const { return m_endTime; }
    void setEndTime(long long v) { m_endTime = v; }

private:
    int m_fid { 0 };
    int m_status { 0 };
    long long m_startTime { 0 };
    long long m_endTime { 0 };
};
