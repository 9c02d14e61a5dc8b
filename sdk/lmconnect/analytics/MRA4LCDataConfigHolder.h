#pragma once

#include "sdk/lmconnect/analytics/MRA4LCDataConfig.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// The server-pushed configurations: type 1 changes the engine's settings (strategy "rs",
// hibernation "__HIBERNATE__"), type 2 holds application properties. Newer versions replace older
// ones and are stored; the stored ones apply at the next start.
class MRA4LCDataConfigHolder {
public:
    static constexpr const char* kEngineVersion = "0.5.5";

    // Makes the instance (loading the stored configurations) when there is none, then runs `done`.
    static std::shared_ptr<MRA4LCDataConfigHolder> initSingleton(const std::function<void()>& done);
    // The instance, or none before `initSingleton`; a new launch (`pf::ResetRegistry`) forgets it.
    static std::shared_ptr<MRA4LCDataConfigHolder> getInstance();

    void setConfig(const MRA4LCDataConfig& config);
    std::optional<MRA4LCDataConfig> getConfig(std::uint32_t type) const;
    void updateConfig(const pf::Value& server, std::uint32_t type);
    void updateOnlineConfig(const pf::Value& reply);
    std::optional<pf::Value> getAppProperty(const std::string& name) const;

    // Puts "cfg" ({"1": {"v": ...}, "2": {"v": ...}}) into an event; empty objects without a holder.
    static void encodeVersions(nlohmann::ordered_json& object);

private:
    // A new launch; work on a queue keeps the instance it holds.
    static void resetShared();
    MRA4LCDataConfigHolder() = default;
    mutable std::mutex m_mutex;
    std::optional<MRA4LCDataConfig> m_sdkCfg;
    std::optional<MRA4LCDataConfig> m_appCfg;
    pf::Value m_appProperties;
};
