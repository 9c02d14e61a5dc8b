#pragma once

#include "core/records/RecordText.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <vector>

// One code the user has obtained: an item of the "body" list of "ka/mine". Times are read from
// "startime" and "endtime"; the code comes under "code".
class MyGiftInfo {
public:
    using List = std::vector<std::shared_ptr<MyGiftInfo>>;

    // One record from one JSON object; any other value gives an empty record.
    static std::shared_ptr<MyGiftInfo> itemFromDictionary(const pf::Value& object);
    // The records of the reply's "body" list; no list when it is missing, not a list or empty.
    static std::optional<List> listFromDictionary(const pf::Value& reply);

    const RecordText& title() const { return m_title; }
    void setTitle(RecordText v) { m_title = std::move(v); }
    long long startTime() const { return m_startTime; }
    void setStartTime(long long v) { m_startTime = v; }
    long long endTime() const { return m_endTime; }
    void setEndTime(long long v) { m_endTime = v; }
    int fid() const { return m_fid; }
    void setFid(int v) { m_fid = v; }
    const RecordText& code() const { return m_code; }
    void setCode(RecordText v) { m_code = std::move(v); }
    const RecordText& type() const { return m_type; }
    void setType(RecordText v) { m_type = std::move(v); }
    int extcredits1() const { return m_extcredits1; }
    void setExtcredits1(int v) { m_extcredits1 = v; }
    int extcredits2() const { return m_extcredits2; }
    void setExtcredits2(int v) { m_extcredits2 = v; }
    const RecordText& litpic() const { return m_litpic; }
    void setLitpic(RecordText v) { m_litpic = std::move(v); }

private:
    RecordText m_title;
    long long m_startTime { 0 };
    long long m_endTime { 0 };
    int m_fid { 0 };
    RecordText m_code;
    RecordText m_type;
    int m_extcredits1 { 0 };
    int m_extcredits2 { 0 };
    RecordText m_litpic;
};
