#pragma once

#include "core/records/RecordText.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <vector>

// One search result: an item of the "body" list of "ka/search". Times are read from
// "startTime" and "endTime" (that spelling only).
class GiftSearchingResultItemInfo {
public:
    using List = std::vector<std::shared_ptr<GiftSearchingResultItemInfo>>;

    // One record from one JSON object; any other value gives an empty record.
    static std::shared_ptr<GiftSearchingResultItemInfo> itemFromDictionary(const pf::Value& object);
    // The records of the reply's "body" list; no list when it is missing, not a list or empty.
    static std::optional<List> listFromDictionary(const pf::Value& reply);

    int fid() const { return m_fid; }
    void setFid(int v) { m_fid = v; }
    const RecordText& title() const { return m_title; }
    void setTitle(RecordText v) { m_title = std::move(v); }
    int status() const { return m_status; }
    void setStatus(int v) { m_status = v; }
    const RecordText& litpic() const { return m_litpic; }
    void setLitpic(RecordText v) { m_litpic = std::move(v); }
    int total() const { return m_total; }
    void setTotal(int v) { m_total = v; }
    int send() const { return m_send; }
    void setSend(int v) { m_send = v; }
    long long startTime() const { return m_startTime; }
    void setStartTime(long long v) { m_startTime = v; }
    long long endTime() const { return m_endTime; }
    void setEndTime(long long v) { m_endTime = v; }
    int extcredits1() const { return m_extcredits1; }
    void setExtcredits1(int v) { m_extcredits1 = v; }
    int extcredits2() const { return m_extcredits2; }
    void setExtcredits2(int v) { m_extcredits2 = v; }
    int tao_ext1() const { return m_taoExt1; }
    void setTao_ext1(int v) { m_taoExt1 = v; }

private:
    int m_fid { 0 };
    RecordText m_title;
    int m_status { 0 };
    RecordText m_litpic;
    int m_total { 0 };
    int m_send { 0 };
    long long m_startTime { 0 };
    long long m_endTime { 0 };
    int m_extcredits1 { 0 };
    int m_extcredits2 { 0 };
    int m_taoExt1 { 0 };
};
