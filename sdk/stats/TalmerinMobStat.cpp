#include "sdk/stats/TalmerinMobStat.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/RunLoop.h"
#include "sdk/stats/TalmerinMobStatController.h"
#include "sdk/stats/TalmerinMobStatExceptionAnalyzer.h"
#include "sdk/stats/TalmerinMobStatLogManager.h"

#include <algorithm>
#include <cmath>

std::atomic<bool> TalmerinMobStat::s_debug { false };

namespace {

std::shared_ptr<TalmerinMobStat>& sharedSlot()
{
    // Never destroyed: it may be used until the process ends, after other statics are gone.
    static auto* shared = new std::shared_ptr<TalmerinMobStat>();
    return *shared;
}

}

std::shared_ptr<TalmerinMobStat> TalmerinMobStat::defaultStat()
{
    // A new launch (every test) starts without a client and with the diagnostics off; the
    // controller, log manager and crash analyzer forget theirs the same way.
    static const bool registered = [] {
        pf::ResetRegistry::add([] {
            std::shared_ptr<TalmerinMobStat> old = std::move(sharedSlot());
            s_debug = false;
        });
        return true;
    }();
    (void)registered;
    auto& shared = sharedSlot();
    if (!shared) {
        shared = std::make_shared<TalmerinMobStat>();
        shared->m_controller = TalmerinMobStatController::sharedController();
        shared->m_controller->setStatTracker(shared);
    }
    return shared;
}

long long TalmerinMobStat::nowMs()
{
    return std::llround(pf::RunLoop::main().now() * 1000.0);
}

void TalmerinMobStat::debugLog(const std::string& line)
{
    if (s_debug)
        pf::Log::line(line);
}

void TalmerinMobStat::setChannelId(std::string channelId)
{
    m_channelId = std::move(channelId);
    TalmerinMobStatLogManager::sharedManager()->setChannelId(m_channelId);
}

void TalmerinMobStat::setShortAppVersion(std::string version)
{
    m_shortAppVersion = std::move(version);
    TalmerinMobStatLogManager::sharedManager()->setShortAppVersion(m_shortAppVersion);
}

void TalmerinMobStat::setLogSendWifiOnly(bool wifiOnly)
{
    m_logSendWifiOnly = wifiOnly;
    TalmerinMobStatLogManager::sharedManager()->setLogSendWifiOnly(wifiOnly);
}

void TalmerinMobStat::setSessionResumeInterval(int seconds)
{
    m_sessionResumeInterval = std::clamp(seconds, 0, kMaxSessionResumeInterval);
}

void TalmerinMobStat::setEnableExceptionLog(bool on)
{
    m_enableExceptionLog = on;
    if (on)
        TalmerinMobStatExceptionAnalyzer::sharedTalmerinMobStatExceptionAnalyzer();
}

pf::HostTable& TalmerinMobStat::hosts()
{
    // Never destroyed: the statistics' upload reads it while the process ends.
    static pf::HostTable& table = *new pf::HostTable({ { kServiceHost, "", "stats/" } });
    return table;
}

void TalmerinMobStat::setServiceAddress(std::string address)
{
    hosts().setAddress(kServiceHost, std::move(address));
}

void TalmerinMobStat::startWithAppId(const std::string& appKey)
{
    if (appKey.empty() || m_controller->started())
        return;
    m_controller->setAppId(appKey);
    m_controller->startSession();
    m_controller->startSendTimer();
}

void TalmerinMobStat::pageviewStartWithName(const std::string& name)
{
    if (!name.empty())
        m_controller->startPageView(name);
}

void TalmerinMobStat::pageviewEndWithName(const std::string& name)
{
    if (!name.empty())
        m_controller->endPageView(name, true);
}

void TalmerinMobStat::eventStart(const std::string& eventId, const std::string& label)
{
    if (!eventId.empty() && !label.empty())
        m_controller->logEventStart(eventId, label);
}

void TalmerinMobStat::eventEnd(const std::string& eventId, const std::string& label)
{
    if (!eventId.empty() && !label.empty())
        m_controller->logEventEnd(eventId, label);
}

void TalmerinMobStat::logEvent(const std::string& eventId, const std::string& label)
{
    if (!eventId.empty() && !label.empty())
        m_controller->logEvent(eventId, label);
}

void TalmerinMobStat::logEventWithDurationTime(const std::string& eventId, const std::string& label, unsigned long durationMs)
{
    if (!eventId.empty() && !label.empty())
        m_controller->logEventWithDurationTime(eventId, label, durationMs);
}
