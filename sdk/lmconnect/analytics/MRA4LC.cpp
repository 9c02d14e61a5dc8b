#include "sdk/lmconnect/analytics/MRA4LC.h"

#include "sdk/lmconnect/analytics/MRA4LCAdditionEvent.h"
#include "sdk/lmconnect/analytics/MRA4LCConfig.h"
#include "sdk/lmconnect/analytics/MRA4LCCustomEvent.h"
#include "sdk/lmconnect/analytics/MRA4LCDataConfigHolder.h"
#include "sdk/lmconnect/analytics/MRA4LCHelper.h"
#include "sdk/lmconnect/analytics/MRA4LCSessionEnv.h"
#include "sdk/lmconnect/analytics/MRA4LCStore.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Reachability.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"

namespace {

// Main-thread state of the front.
struct FrontState {
    std::shared_ptr<MRA4LC> instance;
    std::optional<std::map<std::string, std::uint32_t>> timed;
    std::uint32_t lastActivity { 0 };
    std::uint32_t sessionId { 0 };
    std::uint32_t nextDayBoundary { 0 };
    bool additionReported { false };
    std::minstd_rand generator;
};

// Never destroyed: the engine's queue may still run while the process exits.
FrontState& state()
{
    static auto* s = new FrontState;
    return *s;
}

std::uint32_t nowSeconds()
{
    return static_cast<std::uint32_t>(pf::RunLoop::main().now());
}

bool enabled()
{
    return MRA4LCConfig::shared().statEnable;
}

}

std::shared_ptr<MRA4LC> MRA4LC::getInstance()
{
    static const bool registered = [] {
        pf::ResetRegistry::add([] { MRA4LC::resetShared(); });
        return true;
    }();
    (void)registered;
    auto& s = state();
    if (!s.instance) {
        s.instance.reset(new MRA4LC());
        MRA4LCStore::getInstance();
        MRA4LCHelper::getInstance();
        s.instance->m_queue->async([] {
            MRA4LCDataConfigHolder::initSingleton([] {
                if (MRA4LCConfig::shared().reportStrategy == 3)
                    MRA4LCStore::getInstance()->sendCachedEvents(-1);
            });
        });
        s.instance->observeApplication();
    }
    return s.instance;
}

void MRA4LC::resetShared()
{
    auto& s = state();
    if (s.instance)
        s.instance->m_queue->sync([] { });
    s = FrontState();
}

MRA4LC::MRA4LC()
    : m_queue(pf::DispatchQueue::create("LCMorrowAnalysis"))
{
}

void MRA4LC::observeApplication()
{
    auto& center = pf::NotificationCenter::defaultCenter();
    std::weak_ptr<MRA4LC> weak = weak_from_this();
    auto on = [&](const char* name, void (MRA4LC::*handler)()) {
        center.addObserver(std::weak_ptr<const void>(weak), name, [weak, handler](const pf::Notification&) {
            if (auto self = weak.lock())
                (self.get()->*handler)();
        });
    };
    on(pf::Application::kWillResignActiveNotification, &MRA4LC::onWillApplicationResignActive);
    on(pf::Application::kDidEnterBackgroundNotification, &MRA4LC::onWillApplicationEnterBackground);
    on(pf::Application::kDidBecomeActiveNotification, &MRA4LC::onDidApplicationBecomeActive);
    on(pf::Application::kWillEnterForegroundNotification, &MRA4LC::onWillApplicationEnterForeground);
    on(pf::Application::kWillTerminateNotification, &MRA4LC::onWillApplicationWillTerminate);
}

void MRA4LC::onWillApplicationResignActive()
{
    if (enabled())
        getSessionID(false);
}

void MRA4LC::onWillApplicationEnterBackground()
{
    if (enabled())
        getSessionID(false);
}

void MRA4LC::onDidApplicationBecomeActive()
{
    if (enabled())
        getSessionID(true);
}

void MRA4LC::onWillApplicationEnterForeground()
{
    if (enabled())
        getSessionID(true);
}

void MRA4LC::onWillApplicationWillTerminate()
{
    MRA4LCStore::getInstance()->close();
}

void MRA4LC::startWithAppkey(const std::string& key)
{
    if (!enabled() || key.empty())
        return;
    MRA4LCConfig::shared().setAppkey(key);
    getInstance();
    getSessionID(false);
}

void MRA4LC::start4LMConnect(const std::string& appid)
{
    auto& config = MRA4LCConfig::shared();
    config.sendPeriodMinutes = 1440;
    config.reportStrategy = 5;
    config.setChannel("LMConnect");
    startWithAppkey(std::string(kAppKeyPrefix) + appid);
}

std::uint32_t MRA4LC::generateSessionID(std::uint32_t now)
{
    auto& s = state();
    s.generator.seed(now);
    auto fields = pf::DateFormatter::localFields(now);
    s.nextDayBoundary = fields ? now - fields->hour * 3600 - fields->minute * 60 - fields->second + 86400 : now + 86400;
    std::uint32_t id = s.generator();
    return id ? id : 1;
}

std::uint32_t MRA4LC::getSessionID(bool checkIdle)
{
    auto& s = state();
    auto now = nowSeconds();
    bool open = (checkIdle && now - s.lastActivity >= MRA4LCConfig::shared().sessionTimeoutSecs) || now >= s.nextDayBoundary;
    s.lastActivity = now;
    if (!open && s.sessionId != 0)
        return s.sessionId;
    s.sessionId = generateSessionID(now);
    auto event = std::make_shared<MRA4LCSessionEnv>();
    event->sid = s.sessionId;
    reportEvent(event);
    tryReportAdditionInfo(true);
    return s.sessionId;
}

void MRA4LC::tryReportAdditionInfo(bool force)
{
    auto& s = state();
    if (!enabled() || (!force && s.additionReported))
        return;
    if (MRA4LCConfig::shared().lm()) {
        auto event = std::make_shared<MRA4LCAdditionEvent>();
        event->sid = s.sessionId;
        reportEvent(event);
    }
    s.additionReported = true;
}

void MRA4LC::trackCustomEvent(const std::string& eventID, const pf::Array& args)
{
    if (!enabled())
        return;
    tryReportAdditionInfo(false);
    auto event = std::make_shared<MRA4LCCustomEvent>();
    event->eventID = eventID;
    event->args = args;
    event->sid = getSessionID(false);
    reportEvent(event);
}

void MRA4LC::trackCustomKeyValueEvent(const std::string& eventID, const pf::Dictionary& props)
{
    if (!enabled() || eventID.empty())
        return;
    tryReportAdditionInfo(false);
    auto event = std::make_shared<MRA4LCCustomEvent>();
    event->eventID = eventID;
    event->kvs = props;
    event->sid = getSessionID(false);
    reportEvent(event);
}

std::string MRA4LC::getCustomeEventKey(const std::string& eventID, const pf::Array& args)
{
    std::string key = eventID + "[";
    for (const auto& v : args)
        key += v.stringValue();
    return key;
}

std::string MRA4LC::getCustomeKeyValueEventKey(const std::string& eventID, const pf::Dictionary& props)
{
    std::string key = eventID + "{";
    for (const auto& [k, v] : props)
        key += k + v.stringValue();
    return key;
}

void MRA4LC::beginTimed(const std::string& eventID, const std::string& key)
{
    if (!enabled() || eventID.empty())
        return;
    tryReportAdditionInfo(false);
    auto& s = state();
    if (!s.timed)
        s.timed.emplace();
    if (!s.timed->contains(key) && s.timed->size() < MRA4LCConfig::shared().maxParallelTimingEvents)
        s.timed->emplace(key, nowSeconds());
}

void MRA4LC::endTimed(const std::string& eventID, const std::string& key, std::optional<pf::Array> args,
    std::optional<pf::Dictionary> props)
{
    auto& s = state();
    if (!enabled() || eventID.empty() || !s.timed)
        return;
    auto it = s.timed->find(key);
    if (it == s.timed->end())
        return;
    auto event = std::make_shared<MRA4LCCustomEvent>();
    event->eventID = eventID;
    event->args = std::move(args);
    event->kvs = std::move(props);
    event->sid = getSessionID(false);
    auto elapsed = nowSeconds() - it->second;
    event->duration = elapsed ? elapsed : 1;
    s.timed->erase(it);
    reportEvent(event);
}

void MRA4LC::trackCustomEventBegin(const std::string& eventID, const pf::Array& args)
{
    beginTimed(eventID, getCustomeEventKey(eventID, args));
}

void MRA4LC::trackCustomEventEnd(const std::string& eventID, const pf::Array& args)
{
    endTimed(eventID, getCustomeEventKey(eventID, args), args, std::nullopt);
}

void MRA4LC::trackCustomKeyValueEventBegin(const std::string& eventID, const pf::Dictionary& props)
{
    beginTimed(eventID, getCustomeKeyValueEventKey(eventID, props));
}

void MRA4LC::trackCustomKeyValueEventEnd(const std::string& eventID, const pf::Dictionary& props)
{
    endTimed(eventID, getCustomeKeyValueEventKey(eventID, props), std::nullopt, props);
}

void MRA4LC::startNewSession()
{
    if (enabled())
        getSessionID(true);
}

void MRA4LC::stopSession()
{
    state().lastActivity = 0;
}

void MRA4LC::reportLM(const std::string& account)
{
    if (!enabled())
        return;
    MRA4LCConfig::shared().setLm(account);
    getSessionID(false);
    tryReportAdditionInfo(true);
}

void MRA4LC::reportEvent(std::shared_ptr<MRA4LCEvent> event)
{
    if (!event)
        return;
    auto self = getInstance();
    self->m_queue->async([self, event = std::move(event)] { self->processEvent(event); });
}

void MRA4LC::processEvent(const std::shared_ptr<MRA4LCEvent>& event)
{
    auto& config = MRA4LCConfig::shared();
    if (!config.statEnable)
        return;
    auto store = MRA4LCStore::getInstance();
    int strategy = config.reportStrategy;
    if (pf::Reachability::currentStatus() == pf::Reachability::Status::NotReachable) {
        store->storeEvent(event);
        return;
    }
    const bool wifi = pf::Reachability::currentStatus() == pf::Reachability::Status::ViaWiFi;
    if (config.smartReporting && wifi)
        strategy = 1;
    if (strategy == 4)
        strategy = wifi ? 1 : 6;
    switch (strategy) {
    case 1:
        store->sendEventAtOnce(event);
        break;
    case 2:
        store->storeEvent(event, [store] {
            auto batch = MRA4LCConfig::shared().minBatchReportCount.load();
            if (store->storedEventCount() >= batch)
                store->sendCachedEvents(static_cast<int>(batch));
        });
        break;
    case 3:
    case 6:
        store->storeEvent(event);
        break;
    case 5:
        store->storeEvent(event, [store] {
            auto defaults = pf::UserDefaults::standard();
            auto now = static_cast<long long>(nowSeconds());
            auto sent = defaults->integerForKey(kSentTsKey);
            if (sent == 0) {
                defaults->setInteger(kSentTsKey, now);
                defaults->synchronize();
            } else if (now - sent >= static_cast<long long>(MRA4LCConfig::shared().sendPeriodMinutes) * 60) {
                store->sendCachedEvents(-1);
                defaults->setInteger(kSentTsKey, now);
                defaults->synchronize();
            }
        });
        break;
    default:
        break; // an unknown strategy drops the event while there is a network
    }
}
