#pragma once

#include "platform/foundation/HostTable.h"

#include <atomic>
#include <memory>
#include <string>

class TalmerinMobStatController;

// The usage-statistics client's public face: its settings, and every call the app makes.
// Main thread, except `nowMs` and `debugLog`, which any thread may call.
class TalmerinMobStat {
public:
    static constexpr int kMaxSessionResumeInterval = 600;

    // The one client; the first call also makes the controller and the log manager. A new
    // launch (`pf::ResetRegistry`) forgets all of them; work already on its way still finishes.
    static std::shared_ptr<TalmerinMobStat> defaultStat();

    // Whole milliseconds since 1970 on the main loop's clock.
    static long long nowMs();
    // Writes a diagnostic line when diagnostics are on.
    static void debugLog(const std::string& line);

    const std::string& channelId() const { return m_channelId; }
    void setChannelId(std::string channelId);
    const std::string& shortAppVersion() const { return m_shortAppVersion; }
    void setShortAppVersion(std::string version);
    int logStrategy() const { return m_logStrategy; }
    void setLogStrategy(int strategy) { m_logStrategy = strategy; }
    int logSendInterval() const { return m_logSendInterval; }
    void setLogSendInterval(int hours) { m_logSendInterval = hours; }
    bool logSendWifiOnly() const { return m_logSendWifiOnly; }
    void setLogSendWifiOnly(bool wifiOnly);
    // Clamped to 0..600 seconds.
    int sessionResumeInterval() const { return m_sessionResumeInterval; }
    void setSessionResumeInterval(int seconds);
    bool enableDebugOn() const { return s_debug; }
    void setEnableDebugOn(bool on) { s_debug = on; }
    // YES makes the crash analyzer at once (reading the previous run's crash, installing
    // capture); NO does not remove capture already installed.
    bool enableExceptionLog() const { return m_enableExceptionLog; }
    void setEnableExceptionLog(bool on);
    // The statistics service's collection address (ending in "/"), set at start-up: the host
    // `kServiceHost` of `hosts` (none by default; "stats/" of the local vendor-services server).
    // The log manager is given the table's address when the client is made and on every set.
    static constexpr const char* kServiceHost = "service";
    static pf::HostTable& hosts();
    void setServiceAddress(std::string address);

    // Does nothing for an empty key or when already started.
    void startWithAppId(const std::string& appKey);
    void pageviewStartWithName(const std::string& name);
    void pageviewEndWithName(const std::string& name);
    void eventStart(const std::string& eventId, const std::string& label);
    void eventEnd(const std::string& eventId, const std::string& label);
    void logEvent(const std::string& eventId, const std::string& label);
    void logEventWithDurationTime(const std::string& eventId, const std::string& label, unsigned long durationMs);

    std::shared_ptr<TalmerinMobStatController> controller() const { return m_controller; }

private:
    std::string m_channelId;
    std::string m_shortAppVersion;
    int m_logStrategy { 0 };
    int m_logSendInterval { 1 };
    bool m_logSendWifiOnly { false };
    int m_sessionResumeInterval { 30 };
    bool m_enableExceptionLog { false };
    std::shared_ptr<TalmerinMobStatController> m_controller;

    static std::atomic<bool> s_debug;
};
