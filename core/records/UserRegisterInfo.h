#pragma once

#include "core/records/RecordText.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <vector>

// The result of a registration: the "body" of "user/reg".
class UserRegisterInfo {
public:
    using List = std::vector<std::shared_ptr<UserRegisterInfo>>;

    // One record from one JSON object; any other value gives an empty record.
    static std::shared_ptr<UserRegisterInfo> itemFromDictionary(const pf::Value& object);
    // The records of the reply's "body" list; no list when it is missing, not a list or empty.
    static std::optional<List> listFromDictionary(const pf::Value& reply);

    const RecordText& nickname() const { return m_nickname; }
    void setNickname(RecordText v) { m_nickname = std::move(v); }
    int extcredits1() const { return m_extcredits1; }
    void setExtcredits1(int v) { m_extcredits1 = v; }
    int extcredits2() const { return m_extcredits2; }
    void setExtcredits2(int v) { m_extcredits2 = v; }
    const RecordText& usertoken() const { return m_usertoken; }
    void setUsertoken(RecordText v) { m_usertoken = std::move(v); }
    int expires() const { return m_expires; }
    void setExpires(int v) { m_expires = v; }
    int expires_in() const { return m_expiresIn; }
    void setExpires_in(int v) { m_expiresIn = v; }
    int uid() const { return m_uid; }
    void setUid(int v) { m_uid = v; }
    bool updatecredit() const { return m_updatecredit; }
    void setUpdatecredit(bool v) { m_updatecredit = v; }
    int ext1() const { return m_ext1; }
    void setExt1(int v) { m_ext1 = v; }
    int ext2() const { return m_ext2; }
    void setExt2(int v) { m_ext2 = v; }

private:
    RecordText m_nickname;
    int m_extcredits1 { 0 };
    int m_extcredits2 { 0 };
    RecordText m_usertoken;
    int m_expires { 0 };
    int m_expiresIn { 0 };
    int m_uid { 0 };
    bool m_updatecredit { false };
    int m_ext1 { 0 };
    int m_ext2 { 0 };
};
