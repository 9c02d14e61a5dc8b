#pragma once

#include "core/records/RecordText.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <vector>

// The result of a claim: the "body" object of "ka/receive". The claimed code comes under
// "code".
class GiftObtainInfo {
public:
    using List = std::vector<std::shared_ptr<GiftObtainInfo>>;

    // One record from one JSON object; any other value gives an empty record.
    static std::shared_ptr<GiftObtainInfo> itemFromDictionary(const pf::Value& object);
    // The records of the reply's "body" list; no list when it is missing, not a list or empty.
    static std::optional<List> listFromDictionary(const pf::Value& reply);

    int fid() const { return m_fid; }
    void setFid(int v) { m_fid = v; }
    const RecordText& codeString() const { return m_codeString; }
    void setCodeString(RecordText v) { m_codeString = std::move(v); }
    int status() const { return m_status; }
    void setStatus(int v) { m_status = v; }
    int extcredits1() const { return m_extcredits1; }
    void setExtcredits1(int v) { m_extcredits1 = v; }
    int extcredits2() const { return m_extcredits2; }
    void setExtcredits2(int v) { m_extcredits2 = v; }
    int total() const { return m_total; }
    void setTotal(int v) { m_total = v; }
    int send() const { return m_send; }
    void setSend(int v) { m_send = v; }

private:
    int m_fid { 0 };
    RecordText m_codeString;
    int m_status { 0 };
    int m_extcredits1 { 0 };
    int m_extcredits2 { 0 };
    int m_total { 0 };
    int m_send { 0 };
};
