#pragma once

#include "tools/peers/VendorService.h"

namespace peers {

// The LM Connect report pings under "/report/": GET "report" answers an empty 200; the pings are
// read from the server's request record.
class LMReportService : public VendorService {
public:
    static constexpr const char* kPrefix = "/report/";

    std::string prefix() const override { return kPrefix; }
    std::optional<PeerReply> handle(const PeerRequest& request) override;
};

}
