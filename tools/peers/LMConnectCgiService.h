#pragma once

#include "tools/peers/VendorService.h"

#include <mutex>
#include <vector>

namespace peers {

// The LM connect CGI host under "/lmcgi/": any path answers a JSON object with "ret" 0 and the
// path it was asked for, or "ret" 100014 (sign in again) when no "access_token" was sent.
// Tests give single paths other answers with the server's faults.
//
// "lmconnectopen/upload_share_image" takes a share's preview (the file part "share_image"),
// keeps it and answers {"ret": 0, "result": {"url": ...}}, an address under
// "lmconnectopen/shared/" that serves the picture back.
class LMConnectCgiService : public VendorService {
public:
    static constexpr const char* kPrefix = "/lmcgi/";

    std::string prefix() const override { return kPrefix; }
    std::optional<PeerReply> handle(const PeerRequest& request) override;

    std::vector<std::string> uploadedPictures() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_uploads;
};

}
