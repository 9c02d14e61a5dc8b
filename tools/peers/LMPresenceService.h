#pragma once

#include "tools/peers/VendorService.h"

#include <mutex>
#include <set>

namespace peers {

// The LM presence host under "/lmpresence/": "getonline?Type=1&<number>:<number>:..." answers,
// for each number in order, ten characters (the number's last ten digits, zero-padded) and "1"
// when a test marked it online, else "0", each followed by ";".
class LMPresenceService : public VendorService {
public:
    static constexpr const char* kPrefix = "/lmpresence/";

    std::string prefix() const override { return kPrefix; }
    std::optional<PeerReply> handle(const PeerRequest& request) override;

    void setOnline(const std::string& uin, bool online);

private:
    std::mutex m_mutex;
    std::set<std::string> m_online;
};

}
