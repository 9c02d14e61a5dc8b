#pragma once

#include "tools/peers/VendorService.h"

namespace peers {

// The LM Open API under "/lmopenapi/": the open-id lookup "oauth2.0/m_me" (a reply wrapped as
// "callback( {...} );") and "user/get_user_info". Every call needs "access_token"; the open id of
// a token is "OPENID" plus the upper-case MD5 of the token. Other paths are not found.
class LMOpenApiService : public VendorService {
public:
    static constexpr const char* kPrefix = "/lmopenapi/";
    static constexpr const char* kNickname = "LM 玩家";

    std::string prefix() const override { return kPrefix; }
    std::optional<PeerReply> handle(const PeerRequest& request) override;

    static std::string openIdForToken(const std::string& token);
};

}
