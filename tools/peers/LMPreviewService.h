#pragma once

#include "tools/peers/VendorService.h"

#include <map>
#include <mutex>

namespace peers {

// Pictures for LM share previews under "/lmpreview/<name>": what a test put there, with the
// content type it gave (a page or text answers as a non-picture would), or "default.png", a
// 1 by 1 PNG. "?delay=<seconds>" holds the answer back that long (bounded by the server's
// stop), for a picture that stays out. Other names are not found.
class LMPreviewService : public VendorService {
public:
    static constexpr const char* kPrefix = "/lmpreview/";

    std::string prefix() const override { return kPrefix; }
    std::optional<PeerReply> handle(const PeerRequest& request) override;

    void putPicture(const std::string& name, std::string bytes, std::string contentType = "image/jpeg");

private:
    std::mutex m_mutex;
    std::map<std::string, std::pair<std::string, std::string>> m_pictures; // name -> bytes, type
};

}
