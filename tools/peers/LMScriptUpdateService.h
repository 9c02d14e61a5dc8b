#pragma once

#include "tools/peers/VendorService.h"

#include <optional>
#include <string>

namespace peers {

// The LM Connect script-update host under "/pub/". "check_bizup" answers {"type": 1, "url": ...}
// when an archive newer than the asked "hver" has been published, else {"type": 0};
// "archives/js-<version>.zip" serves the published archive. Tests publish archives, name another
// download address, and cut or fail the download with the server's faults.
class LMScriptUpdateService : public VendorService {
public:
    static constexpr const char* kPrefix = "/pub/";

    std::string prefix() const override { return kPrefix; }
    std::optional<PeerReply> handle(const PeerRequest& request) override;

    void publish(int version, std::string archive);
    void withdraw();
    // The address the check names instead of the archive's own (none: the archive's).
    void setDownloadURL(std::optional<std::string> url);
    // "/pub/archives/js-<version>.zip"
    static std::string archivePath(int version);

private:
    int m_version { 0 };
    std::string m_archive;
    std::optional<std::string> m_downloadURL;
};

}
