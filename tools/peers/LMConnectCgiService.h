#pragma once

#include "tools/peers/VendorService.h"

namespace peers {

// The LM connect CGI host under "/lmcgi/": any path answers a JSON object with "ret" 0 and the
// path it was asked for, or "ret" 100014 (sign in again) when no "access_token" was sent.
// Tests give single paths other answers with the server's faults.
class LMConnectCgiService : public VendorService {
public:
    static constexpr const char* kPrefix = "/lmcgi/";

    std::string prefix() const override { return kPrefix; }
    std::optional<PeerReply> handle(const PeerRequest& request) override;
};

}
