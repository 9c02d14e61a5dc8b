#include "sdk/lmconnect/analytics/ConfigManager.h"

#include "sdk/lmconnect/analytics/MRA4LCConfig.h"
#include "sdk/lmconnect/analytics/MRA4LCHosts.h"

#include "platform/foundation/Device.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"

#include <mutex>

namespace {

// Never destroyed: work still on a queue while the process exits reads them after static
// destruction has begun.
std::mutex& instanceMutex()
{
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::shared_ptr<ConfigManager>& instanceSlot()
{
    static auto* slot = new std::shared_ptr<ConfigManager>;
    return *slot;
}

enum class Kind { Number, Text };
struct ServerKey {
    const char* server;
    const char* file;
    Kind kind;
};
// The server keys and the file keys they overwrite.
const ServerKey kServerKeys[] = {
    { "Common_ta_enable", "DataReportEnable", Kind::Number },
    { "Common_frequency", "ConfigTimeFrequency", Kind::Number },
    { "Common_SSO", "CommonSSo", Kind::Number },
    { "Common_SSO_LzoneVersion", "CommonSSoLZoneVersion", Kind::Text },
    { "Common_SSO_LZoneSchema", "CommonSSOLZoneSchema", Kind::Text },
};

}

pf::Dictionary ConfigManager::defaults()
{
    return {
        { "DataReportEnable", true },
        { "SafariEnable", true },
        { "WebViewEnable", true },
        { "ConfigTimeStamp", 0.0 },
        { "ConfigTimeFrequency", 24.0 },
        { "CommonSSo", 1 },
        { "CommonSSoLZoneVersion", "3.5.0" },
        { "CommonSSOLZoneSchema", "newlzonesdk" },
    };
}

std::shared_ptr<ConfigManager> ConfigManager::GetInstance()
{
    static const bool registered = [] {
        pf::ResetRegistry::add([] { ConfigManager::resetShared(); });
        return true;
    }();
    (void)registered;
    std::lock_guard lock(instanceMutex());
    if (!instanceSlot()) {
        instanceSlot().reset(new ConfigManager());
        instanceSlot()->loadLocalConfig();
    }
    return instanceSlot();
}

void ConfigManager::resetShared()
{
    std::shared_ptr<ConfigManager> manager; // let go after the lock
    std::lock_guard lock(instanceMutex());
    manager.swap(instanceSlot());
}

ConfigManager::ConfigManager()
    : m_config(defaults())
    , m_systemVersion(pf::Device::current().systemVersion())
    , m_path(pf::FileManager::join(pf::Sandbox::current()->documentsPath(), kFileName))
{
}

void ConfigManager::loadLocalConfig()
{
    if (!pf::FileManager::exists(m_path))
        return;
    auto value = pf::PropertyList::readFile(m_path);
    if (value && value->isDictionary()) {
        m_config = *value->asDictionary();
        return;
    }
    // Keeping the defaults lets the next accepted reply write a sound file over this one.
    pf::Log::line("MRSdkConfig.plist is not a dictionary; using the default policy");
}

bool ConfigManager::saveLocalConfig()
{
    m_config.set("ConfigTimeStamp", pf::RunLoop::main().now());
    pf::FileManager::createDirectory(pf::Sandbox::current()->documentsPath(), true);
    return pf::PropertyList::writeFile(m_path, pf::Value(m_config), pf::PropertyList::Format::Xml);
}

void ConfigManager::updateConfig()
{
    const auto* stamp = m_config.find("ConfigTimeStamp");
    const auto* frequency = m_config.find("ConfigTimeFrequency");
    double last = stamp ? stamp->doubleValue() : 0;
    double hours = frequency ? frequency->doubleValue() : 0;
    if (pf::RunLoop::main().now() - last > hours * 3600)
        requestConfig();
}

bool ConfigManager::requestConfig()
{
    MorrowParams params;
    if (!m_appid.empty()) {
        params.set("client_id", m_appid);
        params.set("sdkv", kSdkVersion);
        params.set("sdkp", "i");
        params.set("status_os", m_systemVersion);
        params.set("status_version", "6.0");
    }
    if (!m_request) {
        std::weak_ptr<ConfigManager> weak = weak_from_this();
        m_request = APIBase::initWithTarget(weak, [weak](const std::shared_ptr<APIResponse>& response) {
            if (auto self = weak.lock())
                self->requestConfigResponse(response);
        }, "GET");
    }
    m_request->openUrl(MRA4LCHosts::shared().policyURL(), std::nullopt, std::nullopt,
        m_appid.empty() ? std::nullopt : std::optional<std::string>(m_appid), std::move(params));
    return true;
}

void ConfigManager::requestConfigResponse(const std::shared_ptr<APIResponse>& response)
{
    if (!response || response->retCode != 0)
        return;
    const auto& json = response->jsonResponse;
    const auto& ret = json["ret"];
    if (ret.isNumber() && ret.intValue() != 0)
        return;
    bool taken = false;
    for (const auto& key : kServerKeys) {
        const auto& value = json[key.server];
        if (key.kind == Kind::Number && value.isNumber()) {
            if (std::string(key.file) == "DataReportEnable")
                m_config.set(key.file, value.doubleValue() != 0);
            else if (std::string(key.file) == "CommonSSo")
                m_config.set(key.file, value.longValue());
            else
                m_config.set(key.file, value.doubleValue());
            taken = true;
        } else if (key.kind == Kind::Text && value.isString()) {
            m_config.set(key.file, value);
            taken = true;
        }
    }
    if (taken)
        saveLocalConfig();
    // The statistics follow the policy.
    MRA4LCConfig::shared().statEnable = isDataReportEnable();
}

bool ConfigManager::isDataReportEnable() const
{
    const auto* value = m_config.find("DataReportEnable");
    return value && value->boolValue();
}
