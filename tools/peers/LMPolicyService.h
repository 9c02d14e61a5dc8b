#pragma once

#include "tools/peers/VendorService.h"

namespace peers {

// The LM Connect policy file under "/lmconnectopen/": GET "openapi/policy_conf" answers "ret" 0
// and the default policy values. Tests give other answers with the server's faults.
class LMPolicyService : public VendorService {
public:
    static constexpr const char* kPrefix = "/lmconnectopen/";

    std::string prefix() const override { return kPrefix; }
    std::optional<PeerReply> handle(const PeerRequest& request) override;
};

}
