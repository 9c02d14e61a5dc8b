#pragma once

#include "platform/foundation/Value.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace pf {
class DispatchQueue;
}
class TalmerinMobStatLogStore;

// Keeps the statistics log (sessions, events, exception entries) in its own store
// (`TalmerinMobStatLogStore`), splits it when it grows, and uploads it as gzip JSON with a
// header of device facts. The last send time and the sent index are kept in the store too;
// only the in-progress session id stays in the user defaults.
//
// Rules:
// - Every put and send runs on the manager's one serial queue, in the order they were asked
//   for, and counts as pending work of the main loop while it waits or runs; `putException`
//   runs on the caller's thread. All of them hold one lock while they read and write the log.
// - Each change of the log is one small transaction of the store; no put writes the defaults.
// - A log an earlier version kept in the defaults (kLogKey, kOldLogKey, with kLastSendKey and
//   kIndexPerSessionKey) is taken into the store when the manager is made, checked as below,
//   and then removed from the defaults, its keys in one write. The store notes a digest of
//   each key's value with the rows it took in, so a value is taken in once, whatever a kill
//   left of the keys. While the store cannot use its file, the defaults are left as they are
//   for a later launch.
// - What is read back from the defaults is type-checked. Of an earlier log, the entries that
//   are dictionaries come in (a list it lacks is empty); when anything else was there (an
//   entry, a list or a log of another type, a key no log has) the log and archive keys stay
//   in the defaults as they were, taken in only once all the same. Other values of another
//   type read as absent. The store checks its rows likewise.
// - The log is split into the archive at kSplitBytes of JSON; the archive keeps at most
//   kMaxArchivedLogs, dropping the oldest.
// - A send uploads the archived logs, oldest first, then the current one. A refused log
//   (any answer but 200) stays and the send moves on; a transport failure ends the send; a
//   log that cannot be written as JSON is neither sent nor cleared.
// - An accepted upload posts kSuccessNotification on the main loop.
class TalmerinMobStatLogManager : public std::enable_shared_from_this<TalmerinMobStatLogManager> {
public:
    static constexpr const char* kLogKey = "TalmerinMobStatLogKey";
    static constexpr const char* kOldLogKey = "TalmerinMobStatLogOldKey";
    static constexpr const char* kInprogressSessionKey = "TalmerinMobStatLogInprogressSession";
    static constexpr const char* kLastSendKey = "TalmerinMobStatLogLastTS";
    static constexpr const char* kIndexPerSessionKey = "TalmerinMobStatLogIndexPerSession";
    static constexpr const char* kSuccessNotification = "TalmeriMobStatSuccessSendLong";
    static constexpr std::size_t kSplitBytes = 204800;
    static constexpr std::size_t kExceptionListBytes = 5120;
    static constexpr std::size_t kMaxArchivedLogs = 10;
    static constexpr double kUploadTimeout = 10;
    // Only the upload's status is read; its body (a tiny picture) is not. A longer reply is
    // refused as a status other than 200 is.
    static constexpr std::size_t kMaxUploadReplyBytes = 64 * 1024;

    enum class UploadResult { Accepted, Refused, TransportFailed, Unwritable };

    // The one log manager; the first call makes it (taking the device id once). A new launch
    // (`pf::ResetRegistry`) drops it: the next call makes a new one.
    static std::shared_ptr<TalmerinMobStatLogManager> sharedManager();

    TalmerinMobStatLogManager();

    // The header's settings, given by the facade and controller (any thread).
    void setAppId(std::string appId);
    std::string appId() const;
    void setChannelId(std::string channelId);
    void setShortAppVersion(std::string version);
    void setLogSendWifiOnly(bool wifiOnly);
    void setSessionStart(long long ms) { m_sessionStart = ms; }
    // Where uploads go: the collection address, ending in "/"; "app.gif" is added to it. It is
    // the statistics client's service host (`TalmerinMobStat::hosts`), read at each upload.
    void setServiceAddress(std::string address);

    // Background: queued in order on the manager's serial queue.
    void putSession(pf::Dictionary session);
    // A counted event adds to the counted entry of its name and label in the same rounded hour,
    // if any; a timed event is always an entry of its own and never takes a counted one.
    void putEvent(pf::Dictionary event);
    void putEventWithDurationTime(pf::Dictionary event);
    void sendLog();
    // On the caller's thread. True when the entry is in the store's file: false when the
    // write failed or the log is kept in memory only. A non-empty `source` names what the
    // entry came from, noted with it: an entry of a source the store already holds is not
    // added again (and counts as stored).
    bool putException(pf::Dictionary entry, const std::string& source = {});

    void putInprogressSession(const std::string& sessionId);
    std::optional<pf::Dictionary> getInprogressSession();
    double lastSendTimestamp();
    void setLastSendTimestamp(double ms);
    void resetLogSentIndexPerSession();
    int logSentIndexPerSession();
    void setLogSentIndexPerSession(int index);

    static pf::Dictionary createBlankLog();
    pf::Dictionary createLogHeader();
    // The current log and the archive, oldest first.
    pf::Dictionary currentLog();
    pf::Array archivedLogs();
    // Bytes of the current log's JSON, kept as the log changes (an entry that cannot be
    // written as JSON counts as nothing).
    std::size_t logSize();
    // Bytes of the JSON of a dictionary, array or text; 0 for anything else.
    static std::size_t getOBJSizeForJSON(const pf::Value& object);
    // Diagnostics (written only while debugging is on): the current log's JSON, and the number
    // and sizes of the archived logs.
    void log();
    void summarize();

    // Where the device was, for a later send. Nothing asks for it: there is no location source
    // here, so `asyncGetLocation` only records the wish; a source reports through the two
    // handlers, each of which stops the updates and sends everything.
    struct Location {
        double latitude { 0 };
        double longitude { 0 };
        double time { 0 }; // seconds since 1970; -1 after a failure
    };
    static constexpr double kDesiredLocationAccuracy = 100;
    void asyncGetLocation();
    void locationManagerDidUpdateToLocation(std::optional<Location> location);
    void locationManagerDidFailWithError();
    Location lastLocation() const;
    bool updatingLocation() const;
    double desiredLocationAccuracy() const;

    // The work of the background calls, on the calling thread.
    void syncPutSession(const pf::Dictionary& session);
    void syncPutEvent(const pf::Dictionary& event);
    void syncPutEventWithDurationTime(const pf::Dictionary& event);
    bool syncPutException(const pf::Dictionary& entry, const std::string& source = {});
    void syncSendAllLog();
    UploadResult syncSendLog(const pf::Dictionary& log);

private:
    void inBackground(std::function<void(TalmerinMobStatLogManager&)> work);
    void takeLogFromDefaults();
    // Uploads a log's JSON object with the header added as its last member (the caller counts
    // an accepted upload in the sent index).
    UploadResult upload(std::optional<std::string> logJson);

    std::shared_ptr<pf::DispatchQueue> m_queue;
    std::shared_ptr<TalmerinMobStatLogStore> m_store;
    std::recursive_mutex m_lock;
    mutable std::mutex m_settingsMutex;
    std::string m_appId;
    std::string m_channelId;
    std::string m_shortAppVersion;
    bool m_wifiOnly { false };
    std::atomic<long long> m_sessionStart { 0 };
    // Both read from the keychain once, when the manager is made.
    std::string m_deviceId;
    std::string m_macAddress;
    Location m_location;
    bool m_updatingLocation { false };
    double m_desiredAccuracy { 0 };
};
