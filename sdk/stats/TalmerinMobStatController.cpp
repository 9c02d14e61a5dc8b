#include "sdk/stats/TalmerinMobStatController.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/UserDefaults.h"
#include "sdk/stats/TalmerinMobStat.h"
#include "sdk/stats/TalmerinMobStatLogManager.h"
#include "sdk/stats/TalmerinMobStatSession.h"

#include <algorithm>
#include <cmath>

using pf::Dictionary;
using pf::Value;

namespace {

std::shared_ptr<TalmerinMobStatController>& sharedSlot()
{
    // Never destroyed: it may be used until the process ends, after other statics are gone.
    static auto* shared = new std::shared_ptr<TalmerinMobStatController>();
    return *shared;
}

std::shared_ptr<TalmerinMobStatLogManager> logManager()
{
    return TalmerinMobStatLogManager::sharedManager();
}

bool sameEvent(const Dictionary& event, const std::string& eventId, const std::string& label)
{
    const Value* i = event.find("i");
    const Value* l = event.find("l");
    return i && l && i->asString() && l->asString() && *i->asString() == eventId && *l->asString() == label;
}

}

std::shared_ptr<TalmerinMobStatController> TalmerinMobStatController::sharedController()
{
    static const bool registered = [] {
        pf::ResetRegistry::add([] { std::shared_ptr<TalmerinMobStatController> old = std::move(sharedSlot()); });
        return true;
    }();
    (void)registered;
    auto& shared = sharedSlot();
    if (!shared) {
        shared = std::make_shared<TalmerinMobStatController>();
        shared->observeApplication();
    }
    return shared;
}

TalmerinMobStatController::TalmerinMobStatController()
{
    resetLastVisitPageViewName();
}

TalmerinMobStatController::~TalmerinMobStatController()
{
    if (m_timerSendStats)
        pf::RunLoop::main().cancel(m_timerSendStats);
    pf::NotificationCenter::defaultCenter().removeObserver(this);
}

void TalmerinMobStatController::observeApplication()
{
    auto& center = pf::NotificationCenter::defaultCenter();
    std::weak_ptr<TalmerinMobStatController> weak = shared_from_this();
    if (pf::Device::current().systemVersionFloat() >= 4.0) {
        center.addObserver(weak, pf::Application::kDidEnterBackgroundNotification, [weak](const pf::Notification&) {
            if (auto self = weak.lock())
                self->enteredBackground();
        });
        center.addObserver(weak, pf::Application::kWillEnterForegroundNotification, [weak](const pf::Notification&) {
            if (auto self = weak.lock())
                self->enteredForeground();
        });
    }
    center.addObserver(weak, TalmerinMobStatLogManager::kSuccessNotification, [weak](const pf::Notification&) {
        if (auto self = weak.lock())
            self->successSendLong();
    });
}

std::shared_ptr<TalmerinMobStat> TalmerinMobStatController::tracker() const
{
    if (auto tracker = m_statTracker.lock())
        return tracker;
    return TalmerinMobStat::defaultStat();
}

void TalmerinMobStatController::setAppId(std::string appId)
{
    m_started = true;
    m_appId = std::move(appId);
    checkAppKey();
}

void TalmerinMobStatController::checkAppKey() const
{
    if (!m_appId.empty())
        return;
    pf::Log::line(std::string("Invalid AppKey. Please start with correct AppKey, go to ") + kConsoleAddress + " to get one.");
    throw pf::Exception(kInvalidAppKey, kInvalidAppKey);
}

void TalmerinMobStatController::startSession()
{
    checkAppKey();
    m_session.reset();
    logManager()->resetLogSentIndexPerSession();
    m_session = std::make_shared<TalmerinMobStatSession>();
    m_session->start();
    logManager()->setSessionStart(m_session->sStart());
}

void TalmerinMobStatController::endSession()
{
    checkAppKey();
    if (!m_session)
        return;
    m_session->end();
    logManager()->putSession(m_session->dictionaryRepresentation());
    logManager()->putInprogressSession(m_session->Id());
}

void TalmerinMobStatController::startPageView(const std::string& name)
{
    // An empty name is no page: it is ignored silently, before the key is asked about.
    if (name.empty())
        return;
    checkAppKey();
    TalmerinMobStat::debugLog("startPageView " + name);
    if (m_session)
        m_currentPageView = Dictionary { { "d", Value(0) }, { "n", Value(name) }, { "s", Value(TalmerinMobStat::nowMs()) } };
}

void TalmerinMobStatController::endPageView(const std::string& name, bool syncToCache)
{
    if (name.empty())
        return;
    checkAppKey();
    TalmerinMobStat::debugLog("endPageView " + name);
    if (!m_session || !m_currentPageView)
        return;
    Value page(*m_currentPageView);
    if (page["n"] != Value(name))
        return;
    recordLastVistePageViewName(name);
    long long start = page["s"].longValue();
    long long duration = TalmerinMobStat::nowMs() - start;
    TalmerinMobStat::debugLog("end pv d=" + std::to_string(duration));
    m_currentPageView->set("d", Value(duration));
    m_currentPageView->set("ps", Value(start - m_session->sStart()));
    m_session->addPageView(*m_currentPageView);
    m_session->end();
    if (syncToCache)
        logManager()->putSession(m_session->dictionaryRepresentation());
    m_currentPageView.reset();
}

void TalmerinMobStatController::startWithLastPageView()
{
    // Checked here too: without a stored name no page view starts, and a missing key must not
    // go unnoticed for that.
    checkAppKey();
    if (auto name = getLastVisitPageViewName())
        startPageView(*name);
}

void TalmerinMobStatController::startSendTimer()
{
    checkAppKey();
    logManager()->setAppId(m_appId);
    auto settings = tracker();
    switch (settings->logStrategy()) {
    case 0:
        logManager()->sendLog();
        break;
    case 1: {
        double last = logManager()->lastSendTimestamp();
        if (last < 0 || TalmerinMobStat::nowMs() - last >= 86400.0 * 1000)
            logManager()->sendLog();
        break;
    }
    case 2: {
        logManager()->sendLog();
        int hours = std::min(settings->logSendInterval(), 24);
        m_timerInterval = hours < 1 ? 3600.0 : hours * 3600.0;
        if (m_timerSendStats)
            pf::RunLoop::main().cancel(m_timerSendStats);
        std::weak_ptr<TalmerinMobStatController> weak = shared_from_this();
        m_timerSendStats = pf::RunLoop::main().postRepeating(m_timerInterval, [weak] {
            if (auto self = weak.lock())
                self->sendLog();
        }, this);
        break;
    }
    default:
        break;
    }
}

void TalmerinMobStatController::sendLog()
{
    logManager()->sendLog();
}

void TalmerinMobStatController::logEventStart(const std::string& eventId, const std::string& label)
{
    checkAppKey();
    TalmerinMobStat::debugLog("startEvent eventId:" + eventId + " eventLabel:" + label);
    auto open = std::find_if(m_eventArray.begin(), m_eventArray.end(),
        [&](const Dictionary& e) { return sameEvent(e, eventId, label); });
    if (open != m_eventArray.end())
        logEventEnd(eventId, label);
    m_eventArray.push_back(Dictionary { { "c", Value(1) }, { "l", Value(label) }, { "i", Value(eventId) },
        { "t", Value(TalmerinMobStat::nowMs()) }, { "d", Value(0) } });
}

void TalmerinMobStatController::logEventEnd(const std::string& eventId, const std::string& label)
{
    checkAppKey();
    TalmerinMobStat::debugLog("EndEvent eventId:" + eventId + " eventLabel:" + label);
    auto open = std::find_if(m_eventArray.begin(), m_eventArray.end(),
        [&](const Dictionary& e) { return sameEvent(e, eventId, label); });
    if (open == m_eventArray.end())
        return;
    Dictionary event = *open;
    m_eventArray.erase(open);
    event.set("d", Value(TalmerinMobStat::nowMs() - Value(event)["t"].longValue()));
    event.set("s", Value("0"));
    logManager()->putEventWithDurationTime(std::move(event));
}

void TalmerinMobStatController::logEvent(const std::string& eventId, const std::string& label)
{
    checkAppKey();
    logManager()->putEvent(Dictionary { { "c", Value(1) }, { "l", Value(label) }, { "i", Value(eventId) },
        { "t", Value(TalmerinMobStat::nowMs()) }, { "d", Value(0) }, { "s", Value("0|") } });
}

void TalmerinMobStatController::logEventWithDurationTime(const std::string& eventId, const std::string& label, unsigned long durationMs)
{
    logManager()->putEventWithDurationTime(Dictionary { { "c", Value(1) }, { "l", Value(label) }, { "i", Value(eventId) },
        { "t", Value(TalmerinMobStat::nowMs()) }, { "d", Value(static_cast<long long>(durationMs)) }, { "s", Value("0") } });
}

void TalmerinMobStatController::enteredBackground()
{
    // Nothing is recorded before the app has started the client.
    if (!m_started)
        return;
    if (m_session) {
        if (m_currentPageView)
            endPageView(Value(*m_currentPageView)["n"].stringValue(), false);
        endSession();
    }
    TalmerinMobStat::debugLog("enteredBackground currentPageView=" + (m_currentPageView ? Value(*m_currentPageView).debugDescription() : "(null)"));
}

void TalmerinMobStatController::enteredForeground()
{
    if (!m_started)
        return;
    if (!m_session) {
        startSession();
    } else {
        auto last = logManager()->getInprogressSession();
        if (!last)
            return;
        TalmerinMobStat::debugLog("lastSession " + Value(*last).debugDescription());
        const Value* end = last->find("e");
        double lastEnd = end && end->isNumber() ? end->doubleValue() : -1;
        auto settings = tracker();
        if (TalmerinMobStat::nowMs() - lastEnd >= 1000.0 * settings->sessionResumeInterval()) {
            startSession();
            startWithLastPageView();
            if (settings->logStrategy() == 0)
                logManager()->sendLog();
        } else {
            startWithLastPageView();
            TalmerinMobStat::debugLog("resume last session");
        }
    }
    TalmerinMobStat::debugLog("enteredForeground");
}

void TalmerinMobStatController::successSendLong()
{
    if (!m_session)
        return;
    m_session->setLogSentCount(m_session->logSentCount() + 1);
    TalmerinMobStat::debugLog(std::to_string(m_session->logSentCount()));
}

void TalmerinMobStatController::recordLastVistePageViewName(const std::string& name)
{
    pf::UserDefaults::standard()->setString(kLastVisitPageKey, name);
}

std::optional<std::string> TalmerinMobStatController::getLastVisitPageViewName() const
{
    Value stored = pf::UserDefaults::standard()->objectForKey(kLastVisitPageKey);
    if (const std::string* name = stored.asString())
        return *name;
    return std::nullopt;
}

void TalmerinMobStatController::resetLastVisitPageViewName()
{
    pf::UserDefaults::standard()->removeObjectForKey(kLastVisitPageKey);
}
