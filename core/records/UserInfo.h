#pragma once

#include "core/records/RecordText.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <vector>

// The signed-in user: the "body" of "user/info" and of the login reply carried by "UserLogin".
// The account name comes from "username" (all lower case).
class UserInfo {
public:
    using List = std::vector<std::shared_ptr<UserInfo>>;

    // One record from one JSON object; any other value gives an empty record.
    static std::shared_ptr<UserInfo> itemFromDictionary(const pf::Value& object);
    // The records of the reply's "body" list; no list when it is missing, not a list or empty.
    static std::optional<List> listFromDictionary(const pf::Value& reply);

    const RecordText& nickname() const { return m_nickname; }
    void setNickname(RecordText v) { m_nickname = std::move(v); }
    const RecordText& usertoken() const { return m_usertoken; }
    void setUsertoken(RecordText v) { m_usertoken = std::move(v); }
    int uid() const { return m_uid; }
    void setUid(int v) { m_uid = v; }
    int extcredits1() const { return m_extcredits1; }
    void setExtcredits1(int v) { m_extcredits1 = v; }
    int extcredits2() const { return m_extcredits2; }
    void setExtcredits2(int v) { m_extcredits2 = v; }
    const RecordText& avatar() const { return m_avatar; }
    void setAvatar(RecordText v) { m_avatar = std::move(v); }
    bool updatecredit() const { return m_updatecredit; }
    void setUpdatecredit(bool v) { m_updatecredit = v; }
    int ext1() const { return m_ext1; }
    void setExt1(int v) { m_ext1 = v; }
    int ext2() const { return m_ext2; }
    void setExt2(int v) { m_ext2 = v; }
    const RecordText& userName() const { return m_userName; }
    void setUserName(RecordText v) { m_userName = std::move(v); }

private:
    RecordText m_nickname;
    RecordText m_usertoken;
    int m_uid { 0 };
    int m_extcredits1 { 0 };
    int m_extcredits2 { 0 };
    RecordText m_avatar;
    bool m_updatecredit { false };
    int m_ext1 { 0 };
    int m_ext2 { 0 };
    RecordText m_userName;
};
