#pragma once

#include "platform/foundation/Value.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>

class MRA4LCEvent;
namespace pf { class DispatchQueue; }

// The statistics engine's front: sessions, custom, timed and key-value events, the account
// event, and the choice of when events are sent.
//
// Rules:
// - Operations run on the main thread; the session state, the timed-event table and the account
//   flag are touched only there. Events are processed on the serial queue "LCMorrowAnalysis".
// - When `statEnable` is off nothing is made, processed or sent.
// - A session opens at the first event, at local midnight, and when the application becomes
//   active or enters the foreground after `sessionTimeoutSecs` idle.
// - Session ids come from a generator of the engine's own, seeded with the time.
class MRA4LC : public std::enable_shared_from_this<MRA4LC> {
public:
    static constexpr const char* kSentTsKey = "MRA4LC_SDK_DATA_SENT_TS";
    static constexpr const char* kAppKeyPrefix = "LMC";

    // Made on first use; a new launch (`pf::ResetRegistry`) forgets the engine and its state.
    static std::shared_ptr<MRA4LC> getInstance();

    static void startWithAppkey(const std::string& key);
    static void start4LMConnect(const std::string& appid);
    static void trackCustomEvent(const std::string& eventID, const pf::Array& args);
    static void trackCustomKeyValueEvent(const std::string& eventID, const pf::Dictionary& props);
    static void trackCustomEventBegin(const std::string& eventID, const pf::Array& args);
    static void trackCustomEventEnd(const std::string& eventID, const pf::Array& args);
    static void trackCustomKeyValueEventBegin(const std::string& eventID, const pf::Dictionary& props);
    static void trackCustomKeyValueEventEnd(const std::string& eventID, const pf::Dictionary& props);
    static void startNewSession();
    static void stopSession();
    static void reportLM(const std::string& account);

    static std::uint32_t getSessionID(bool checkIdle);
    static std::string getCustomeEventKey(const std::string& eventID, const pf::Array& args);
    static std::string getCustomeKeyValueEventKey(const std::string& eventID, const pf::Dictionary& props);
    static void reportEvent(std::shared_ptr<MRA4LCEvent> event);
    static void tryReportAdditionInfo(bool force);

    const std::shared_ptr<pf::DispatchQueue>& getTaskQueue() const { return m_queue; }

    void onWillApplicationResignActive();
    void onWillApplicationEnterBackground();
    void onDidApplicationBecomeActive();
    void onWillApplicationEnterForeground();
    void onWillApplicationWillTerminate();

private:
    // A new launch: the events already queued are processed first.
    static void resetShared();
    MRA4LC();
    void observeApplication();
    void processEvent(const std::shared_ptr<MRA4LCEvent>& event);
    static std::uint32_t generateSessionID(std::uint32_t now);
    static void beginTimed(const std::string& eventID, const std::string& key);
    static void endTimed(const std::string& eventID, const std::string& key, std::optional<pf::Array> args,
        std::optional<pf::Dictionary> props);

    std::shared_ptr<pf::DispatchQueue> m_queue;
};
