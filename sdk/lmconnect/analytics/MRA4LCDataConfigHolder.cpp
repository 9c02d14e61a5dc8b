#include "sdk/lmconnect/analytics/MRA4LCDataConfigHolder.h"

#include "sdk/lmconnect/analytics/MRA4LCConfig.h"
#include "sdk/lmconnect/analytics/MRA4LCHelper.h"
#include "sdk/lmconnect/analytics/MRA4LCStore.h"

#include "platform/foundation/Json.h"
#include "platform/foundation/ResetRegistry.h"

namespace {

// Never destroyed: an event still on the store's queue while the process exits reads them after
// static destruction has begun.
std::mutex& instanceMutex()
{
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::shared_ptr<MRA4LCDataConfigHolder>& instanceSlot()
{
    static auto* slot = new std::shared_ptr<MRA4LCDataConfigHolder>;
    return *slot;
}

}

std::shared_ptr<MRA4LCDataConfigHolder> MRA4LCDataConfigHolder::initSingleton(const std::function<void()>& done)
{
    static const bool registered = [] {
        pf::ResetRegistry::add([] { MRA4LCDataConfigHolder::resetShared(); });
        return true;
    }();
    (void)registered;
    std::shared_ptr<MRA4LCDataConfigHolder> holder;
    {
        std::lock_guard lock(instanceMutex());
        auto& instance = instanceSlot();
        if (!instance) {
            instance.reset(new MRA4LCDataConfigHolder());
            MRA4LCStore::getInstance()->loadConfig([&](const MRA4LCDataConfig& config) { instance->setConfig(config); });
            if (done)
                done();
        }
        holder = instance;
    }
    return holder;
}

std::shared_ptr<MRA4LCDataConfigHolder> MRA4LCDataConfigHolder::getInstance()
{
    std::lock_guard lock(instanceMutex());
    return instanceSlot();
}

void MRA4LCDataConfigHolder::resetShared()
{
    std::shared_ptr<MRA4LCDataConfigHolder> holder;
    std::lock_guard lock(instanceMutex());
    holder.swap(instanceSlot());
}

void MRA4LCDataConfigHolder::setConfig(const MRA4LCDataConfig& config)
{
    auto parsed = pf::Json::parse(config.content);
    if (!parsed || !parsed->isDictionary())
        return;
    auto& settings = MRA4LCConfig::shared();
    std::lock_guard lock(m_mutex);
    if (config.type == 1) {
        m_sdkCfg = config;
        const auto& rs = (*parsed)["rs"];
        if (rs.isNumber() && rs.doubleValue() >= 1)
            settings.reportStrategy = rs.intValue();
        const auto& hibernate = (*parsed)["__HIBERNATE__"];
        if (!hibernate.isNone() && MRA4LCHelper::versionNotLower(hibernate.stringValue(), kEngineVersion))
            settings.statEnable = false;
    } else if (config.type == 2) {
        m_appCfg = config;
        m_appProperties = *parsed;
    }
}

std::optional<MRA4LCDataConfig> MRA4LCDataConfigHolder::getConfig(std::uint32_t type) const
{
    std::lock_guard lock(m_mutex);
    if (type == 1)
        return m_sdkCfg;
    if (type == 2)
        return m_appCfg;
    return std::nullopt;
}

void MRA4LCDataConfigHolder::updateConfig(const pf::Value& server, std::uint32_t type)
{
    auto config = MRA4LCDataConfig::decode(server);
    if (!config)
        return;
    config->type = type;
    auto held = getConfig(type);
    if ((held ? held->version : 0) >= config->version)
        return;
    setConfig(*config);
    MRA4LCStore::getInstance()->storeConfig(*config);
}

void MRA4LCDataConfigHolder::updateOnlineConfig(const pf::Value& reply)
{
    const auto& cfg = reply["cfg"];
    if (!cfg.isDictionary())
        return;
    if (cfg["1"].isDictionary())
        updateConfig(cfg["1"], 1);
    if (cfg["2"].isDictionary())
        updateConfig(cfg["2"], 2);
}

std::optional<pf::Value> MRA4LCDataConfigHolder::getAppProperty(const std::string& name) const
{
    std::lock_guard lock(m_mutex);
    const auto& value = m_appProperties[name];
    if (value.isNone())
        return std::nullopt;
    return value;
}

void MRA4LCDataConfigHolder::encodeVersions(nlohmann::ordered_json& object)
{
    nlohmann::ordered_json one = nlohmann::ordered_json::object();
    nlohmann::ordered_json two = nlohmann::ordered_json::object();
    if (auto holder = getInstance()) {
        if (auto c = holder->getConfig(1))
            one["v"] = c->version;
        if (auto c = holder->getConfig(2))
            two["v"] = c->version;
    }
    object["cfg"] = { { "1", one }, { "2", two } };
}
