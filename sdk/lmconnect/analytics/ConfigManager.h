#pragma once

#include "sdk/lmconnect/openapi/APIBase.h"

#include "platform/foundation/Value.h"

#include <memory>
#include <string>

// The client's policy file "MRSdkConfig.plist" in the documents folder: defaults, refreshed from
// the policy endpoint at most once per "ConfigTimeFrequency" hours. Only "DataReportEnable" is
// read natively: it switches the statistics on and off.
//
// Rules:
// - A file that holds a dictionary replaces the defaults as a whole. One that cannot be read as
//   a dictionary leaves the defaults (statistics on) and is rewritten by the next accepted reply.
// - A reply is accepted when it succeeded with "ret" 0 (or none); each known server key of the
//   right type overwrites its file key; when one did, the file is stamped and saved.
// - Main thread.
class ConfigManager : public APIBaseTarget, public std::enable_shared_from_this<ConfigManager> {
public:
    static constexpr const char* kFileName = "MRSdkConfig.plist";
    static constexpr const char* kSdkVersion = "1.3";

    // Made on first use; a new launch (`pf::ResetRegistry`) makes a new one.
    static std::shared_ptr<ConfigManager> GetInstance();

    void loadLocalConfig();
    bool saveLocalConfig();
    void updateConfig();
    bool requestConfig();
    void requestConfigResponse(const std::shared_ptr<APIResponse>& response);
    bool isDataReportEnable() const;

    const pf::Dictionary& config() const { return m_config; }
    void setConfig(pf::Dictionary config) { m_config = std::move(config); }
    const std::string& appid() const { return m_appid; }
    void setAppid(std::string appid) { m_appid = std::move(appid); }
    const std::string& path() const { return m_path; }

    static pf::Dictionary defaults();

private:
    // A new launch.
    static void resetShared();
    ConfigManager();
    pf::Dictionary m_config;
    std::string m_appid;
    std::string m_systemVersion;
    std::string m_path;
    std::shared_ptr<APIBase> m_request;
};
