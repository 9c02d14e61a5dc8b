#pragma once

#include "tools/peers/VendorService.h"

namespace peers {

// The LM Open API under "/lmopenapi/": the open-id lookup "oauth2.0/m_me" (a reply wrapped as
// "callback( {...} );"), "user/get_user_info" and the login statistics "user/user_login_statis"
// (a reply wrapped as "_Callback({...});", "ret" 0 when "encrytoken" is present). Every call needs "access_token"; the open id of
// a token is "OPENID" plus the upper-case MD5 of the token. The sign-in page "oauth2.0/m_authorize"
// has a button for each way out (approve with or without open id, deny, cancel, go on in a
// browser, a load that breaks, reload); its token is `webTokenFor` the app id. The avatar upload
// "user/set_user_face" takes a multipart "picture". Other paths are not found.
class LMOpenApiService : public VendorService {
public:
    static constexpr const char* kPrefix = "/lmopenapi/";
    static constexpr const char* kNickname = "LM 玩家";

    std::string prefix() const override { return kPrefix; }
    std::optional<PeerReply> handle(const PeerRequest& request) override;

    static constexpr long kWebLifetime = 7776000;

    static std::string openIdForToken(const std::string& token);
    static std::string webTokenFor(const std::string& appId);
};

}
