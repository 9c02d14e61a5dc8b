#pragma once

#include "platform/foundation/Value.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

// The statistics engine's settings, one per process. Scalars are atomic (read on the engine's
// queues, written from the main thread and by server configurations); texts sit behind a lock.
class MRA4LCConfig {
public:
    // One per process; a new launch (`pf::ResetRegistry`) puts the defaults back.
    static MRA4LCConfig& shared();

    std::atomic<bool> debugEnable;
    std::atomic<bool> statEnable;
    std::atomic<std::uint32_t> sessionTimeoutSecs;
    std::atomic<std::uint32_t> maxLoadEventCount;
    std::atomic<std::uint32_t> maxSendRetryCount;
    std::atomic<std::uint32_t> minBatchReportCount;
    std::atomic<std::uint32_t> maxStoreEventCount;
    std::atomic<std::uint32_t> sendPeriodMinutes;
    std::atomic<std::int32_t> reportStrategy;
    std::atomic<std::uint32_t> maxParallelTimingEvents;
    std::atomic<bool> smartReporting;
    std::atomic<bool> autoExceptionCaught;

    std::string channel() const;
    void setChannel(std::string channel);
    std::optional<std::string> appkey() const;
    void setAppkey(std::optional<std::string> key);
    std::optional<std::string> lm() const;
    void setLm(std::optional<std::string> lm);

    // The server-pushed application property of that name, else `fallback`.
    pf::Value getCustomProperty(const std::string& name, pf::Value fallback) const;

private:
    MRA4LCConfig();
    void resetToDefaults();
    mutable std::mutex m_mutex;
    std::string m_channel;
    std::optional<std::string> m_appkey;
    std::optional<std::string> m_lm;
};
