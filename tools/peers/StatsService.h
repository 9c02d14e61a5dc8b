#pragma once

#include "platform/foundation/Value.h"
#include "tools/peers/VendorService.h"

#include <mutex>
#include <vector>

namespace peers {

// The usage-statistics service: POST /stats/app.gif with a gzip JSON log. A body that
// inflates to a JSON object is kept parsed and answered 200; anything else is kept raw and
// answered 400.
class StatsService : public VendorService {
public:
    struct Upload {
        bool valid { false };
        pf::Value body; // the parsed log when valid
        std::string raw; // the body as received
    };

    std::string prefix() const override { return "/stats/"; }
    std::optional<PeerReply> handle(const PeerRequest& request) override;

    std::vector<Upload> uploads() const;
    // Only the valid ones' bodies.
    std::vector<pf::Value> logs() const;
    void clear();

private:
    mutable std::mutex m_mutex;
    std::vector<Upload> m_uploads;
};

}
