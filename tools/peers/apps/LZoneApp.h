#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pf {
class Url;
}

namespace peers {

// A stand-in for the LZone app on the simulated device. It registers the probe schemes of the
// version a test picks (5 to 1; from 3 on also the Morrow API scheme "morrowapi.lzone.reqContent"),
// stages Morrow API requests for an app (an archive the test made, under the type the app reads)
// and keeps every address it is opened with, with the response archive staged for it.
class LZoneApp : public std::enable_shared_from_this<LZoneApp> {
public:
    static constexpr const char* kBundleIdentifier = "com.morrow.lzone";

    struct Received {
        std::string url;
        std::optional<pf::Bytes> response; // the archive a response address pointed at
    };

    static std::shared_ptr<LZoneApp> install(int version, bool morrowApi = true);
    void uninstall();

    // Puts `archive` on the general pasteboard under `type` and opens
    // "<scheme>://kTecentReqContent/kMorrowReqContent?kPastboardName=...&kPastboardType=<type>".
    static bool sendRequest(const std::string& scheme, const pf::Bytes& archive, const std::string& type);
    std::vector<Received> received() const;

private:
    void opened(const pf::Url& url);

    mutable std::mutex m_mutex;
    std::vector<Received> m_received;
};

}
