#pragma once

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class TalmerinMobStat;
class TalmerinMobStatSession;

// Keeps the current session, the page view being timed and the open timed events; follows the
// app into and out of the background and applies the send strategy. Main thread.
//
// Rules:
// - Before a start with a key, going to or coming back from the background does nothing;
//   session, page and event calls raise pf::Exception "Invalid AppKey" before they record
//   anything, except a page call with an empty name (ignored first) and
//   logEventWithDurationTime (never checked).
// - Sessions and events reach the log manager as dictionaries made here, on the main thread.
// - The upload count of the session grows on the main loop, when an upload was accepted.
class TalmerinMobStatController : public std::enable_shared_from_this<TalmerinMobStatController> {
public:
    static constexpr const char* kLastVisitPageKey = "TalmerinMobStatLogLastVisitPageKey";
    static constexpr const char* kInvalidAppKey = "Invalid AppKey";
    static constexpr const char* kConsoleAddress = "http://stats.talmerin.example/console";

    static std::shared_ptr<TalmerinMobStatController> sharedController();
    ~TalmerinMobStatController();

    void setStatTracker(std::weak_ptr<TalmerinMobStat> tracker) { m_statTracker = std::move(tracker); }
    // The facade whose settings count; the process-wide one when none was given.
    std::shared_ptr<TalmerinMobStat> statTracker() const { return tracker(); }
    bool started() const { return m_started; }
    const std::string& appId() const { return m_appId; }
    void setAppId(std::string appId);
    void checkAppKey() const;

    void startSession();
    void endSession();
    void startPageView(const std::string& name);
    void endPageView(const std::string& name, bool syncToCache);
    void startWithLastPageView();
    void startSendTimer();
    void sendLog();
    void logEventStart(const std::string& eventId, const std::string& label);
    void logEventEnd(const std::string& eventId, const std::string& label);
    void logEvent(const std::string& eventId, const std::string& label);
    void logEventWithDurationTime(const std::string& eventId, const std::string& label, unsigned long durationMs);
    void enteredBackground();
    void enteredForeground();
    void successSendLong();

    void recordLastVistePageViewName(const std::string& name);
    std::optional<std::string> getLastVisitPageViewName() const;
    void resetLastVisitPageViewName();

    const std::shared_ptr<TalmerinMobStatSession>& session() const { return m_session; }
    const std::optional<pf::Dictionary>& currentPageView() const { return m_currentPageView; }
    const std::vector<pf::Dictionary>& eventArray() const { return m_eventArray; }
    // The send timer's period in seconds; 0 when there is none.
    double sendTimerInterval() const { return m_timerInterval; }

    TalmerinMobStatController();

private:
    void observeApplication();
    std::shared_ptr<TalmerinMobStat> tracker() const;

    pf::RunLoop::TaskId m_timerSendStats { 0 };
    double m_timerInterval { 0 };
    std::shared_ptr<TalmerinMobStatSession> m_session;
    std::optional<pf::Dictionary> m_currentPageView;
    std::vector<pf::Dictionary> m_eventArray;
    bool m_started { false };
    std::weak_ptr<TalmerinMobStat> m_statTracker;
    std::string m_appId;
};
