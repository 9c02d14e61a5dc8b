#pragma once

#include "tools/peers/VendorService.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace peers {

// Blip's web endpoints under "/blip/": the authorisation page shown in the app's web view, token
// revocation and friend invitations.
//
// - GET oauth2/authorize: checks "response_type" ("code"), "display" ("mobile"), "client_id",
//   "redirect_uri" and "key_hash"; a request that breaks one gets a 400 page naming it. Otherwise
//   the page sets a session cookie and links "allow" to the redirect address with
//   "access_token", "expires_in" and "uid" in the fragment and "deny" with "error" and
//   "error_code".
// - GET oauth2/revokeoauth2 and POST 2/messages/invite.json: need "access_token" in the query;
//   answer JSON and are recorded.
class BlipService : public VendorService {
public:
    static constexpr const char* kHashKey = "c83f1a6e04d9b72e5f10a8c3d64e9b27";

    struct Grant {
        std::string uid { "1900001234" };
        std::string accessToken { "2.00blipwebtoken" };
        int expiresIn { 3600 };
    };

    struct Call {
        std::string path;
        std::map<std::string, std::string> query;
        std::string body;
        std::string cookie; // the Cookie header, empty when none
    };

    std::string prefix() const override { return "/blip/"; }
    std::optional<PeerReply> handle(const PeerRequest& request) override;

    void setGrant(Grant grant);
    std::vector<Call> calls() const;

private:
    PeerReply authorizePage(const PeerRequest& request, const std::map<std::string, std::string>& query);

    mutable std::mutex m_mutex;
    Grant m_grant;
    std::vector<Call> m_calls;
    int m_sessions { 0 };
};

}
