#pragma once

#include <mutex>
#include <string>

// Where the statistics engine's servers are: the connect CGI host (policy file, uploads) and the
// report host (pings). Both are plain HTTP; each address ends in "/", so a path follows as it is.
// Tests and the simulator point both at the local vendor-services server with `pointAt`.
class MRA4LCHosts {
public:
    static constexpr const char* kPolicyPath = "lmconnectopen/openapi/policy_conf";
    static constexpr const char* kUploadPath = "lmconnectutil/sdk";
    static constexpr const char* kReportPath = "report/report";

    static MRA4LCHosts& shared();

    void pointAt(const std::string& root);
    std::string connectBase() const;
    std::string reportBase() const;

    std::string policyURL() const { return connectBase() + kPolicyPath; }
    std::string uploadURL() const { return connectBase() + kUploadPath; }
    std::string reportURL() const { return reportBase() + kReportPath; }

private:
    MRA4LCHosts() = default;
    mutable std::mutex m_mutex;
    std::string m_connect { "http://cgi.lmconnect.invalid/" };
    std::string m_report { "http://report.lmconnect.invalid/" };
};
