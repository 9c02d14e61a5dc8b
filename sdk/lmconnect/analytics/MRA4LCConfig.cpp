#include "sdk/lmconnect/analytics/MRA4LCConfig.h"

#include "sdk/lmconnect/analytics/MRA4LCDataConfigHolder.h"

#include "platform/foundation/ResetRegistry.h"

MRA4LCConfig& MRA4LCConfig::shared()
{
    // Never destroyed: queued analytics work may read it while the process exits.
    static auto* config = [] {
        auto* made = new MRA4LCConfig;
        pf::ResetRegistry::add([made] { made->resetToDefaults(); });
        return made;
    }();
    return *config;
}

MRA4LCConfig::MRA4LCConfig()
{
    resetToDefaults();
}

void MRA4LCConfig::resetToDefaults()
{
    debugEnable = false;
    statEnable = true;
    sessionTimeoutSecs = 30;
    maxLoadEventCount = 30;
    maxSendRetryCount = 3;
    minBatchReportCount = 30;
    maxStoreEventCount = 1024;
    sendPeriodMinutes = 1440;
    reportStrategy = 3;
    maxParallelTimingEvents = 1024;
    smartReporting = true;
    autoExceptionCaught = true;
    std::lock_guard lock(m_mutex);
    m_channel = "appstore";
    m_appkey.reset();
    m_lm.reset();
}

std::string MRA4LCConfig::channel() const
{
    std::lock_guard lock(m_mutex);
    return m_channel;
}

void MRA4LCConfig::setChannel(std::string channel)
{
    std::lock_guard lock(m_mutex);
    m_channel = std::move(channel);
}

std::optional<std::string> MRA4LCConfig::appkey() const
{
    std::lock_guard lock(m_mutex);
    return m_appkey;
}

void MRA4LCConfig::setAppkey(std::optional<std::string> key)
{
    std::lock_guard lock(m_mutex);
    m_appkey = std::move(key);
}

std::optional<std::string> MRA4LCConfig::lm() const
{
    std::lock_guard lock(m_mutex);
    return m_lm;
}

void MRA4LCConfig::setLm(std::optional<std::string> lm)
{
    std::lock_guard lock(m_mutex);
    m_lm = std::move(lm);
}

pf::Value MRA4LCConfig::getCustomProperty(const std::string& name, pf::Value fallback) const
{
    if (auto holder = MRA4LCDataConfigHolder::getInstance()) {
        if (auto value = holder->getAppProperty(name))
            return *value;
    }
    return fallback;
}
