#pragma once

#include "platform/foundation/HostTable.h"

#include <string>

// Where the statistics engine's servers are: the connect CGI host (policy file, uploads) and the
// report host (pings), in its `pf::HostTable`. Both are plain HTTP; each address ends in "/", so
// a path follows as it is. Tests and the simulator point both at the local vendor-services
// server with `pf::HostTable::pointAllAt`. Any thread.
class MRA4LCHosts {
public:
    static constexpr const char* kPolicyPath = "lmconnectopen/openapi/policy_conf";
    static constexpr const char* kUploadPath = "lmconnectutil/sdk";
    static constexpr const char* kReportPath = "report/report";
    static constexpr const char* kConnectHost = "connect";
    static constexpr const char* kReportHost = "report";

    static MRA4LCHosts& shared();

    pf::HostTable& hosts() { return m_hosts; }
    std::string connectBase() const { return m_hosts.address(kConnectHost); }
    std::string reportBase() const { return m_hosts.address(kReportHost); }

    std::string policyURL() const { return connectBase() + kPolicyPath; }
    std::string uploadURL() const { return connectBase() + kUploadPath; }
    std::string reportURL() const { return reportBase() + kReportPath; }

private:
    MRA4LCHosts();
    pf::HostTable m_hosts;
};
