#pragma once

#include "tools/peers/VendorService.h"

namespace peers {

// The LM web pages under "/lmweb/": the root page (the base address of the SDK's local pages,
// and the page that takes the session's key into its local storage). Other paths are not found.
class LMWebPageService : public VendorService {
public:
    static constexpr const char* kPrefix = "/lmweb/";

    std::string prefix() const override { return kPrefix; }
    std::optional<PeerReply> handle(const PeerRequest& request) override;
};

}
