#pragma once

#include "core/records/RecordText.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <vector>

// A refreshed token. No portal operation returns one at present; the record is kept so a
// refresh reply can be read the same way as the others.
class UserReflashUserTokenInfo {
public:
    using List = std::vector<std::shared_ptr<UserReflashUserTokenInfo>>;

    // One record from one JSON object; any other value gives an empty record.
    static std::shared_ptr<UserReflashUserTokenInfo> itemFromDictionary(const pf::Value& object);
    // The records of the reply's "body" list; no list when it is missing, not a list or empty.
    static std::optional<List> listFromDictionary(const pf::Value& reply);

    const RecordText& nickname() const { return m_nickname; }
    void setNickname(RecordText v) { m_nickname = std::move(v); }
    const RecordText& usertoken() const { return m_usertoken; }
    void setUsertoken(RecordText v) { m_usertoken = std::move(v); }
    int expires() const { return m_expires; }
    void setExpires(int v) { m_expires = v; }
    int uid() const { return m_uid; }
    void setUid(int v) { m_uid = v; }

private:
    RecordText m_nickname;
    RecordText m_usertoken;
    int m_expires { 0 };
    int m_uid { 0 };
};
