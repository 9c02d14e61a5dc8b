#include "sdk/stats/TalmerinMobStatLogManager.h"

#include "platform/foundation/Crypto.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/foundation/UrlRequest.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/DispatchQueue.h"
#include "sdk/stats/StatLogCodec.h"
#include "sdk/stats/TalmerinMobStat.h"
#include "sdk/stats/TalmerinMobStatLogStore.h"
#include "sdk/stats/TalmerinMobStatDeviceInfo.h"
#include "sdk/stats/TalmerinUDID.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

using pf::Array;
using pf::Dictionary;
using pf::Value;

namespace {

std::mutex g_sharedMutex;
// Never destroyed: it may be used until the process ends, after other statics are gone.
std::shared_ptr<TalmerinMobStatLogManager>& g_shared = *new std::shared_ptr<TalmerinMobStatLogManager>();

using List = TalmerinMobStatLogStore::List;

// Room left after the current log's text for the header an upload appends (some 600 bytes;
// a longer one still fits, with one more copy of the text).
constexpr std::size_t kHeaderRoom = 2048;

// What an earlier version's stored log holds that reads: the dictionaries of its lists, a list
// it lacks read as empty. `skipped` is set when anything else was there (the value is no
// dictionary, a list is no list, an entry is no dictionary, a key no log has).
std::optional<Dictionary> readEarlierLog(const Value& value, bool& skipped)
{
    const Dictionary* stored = value.asDictionary();
    if (!stored) {
        skipped = true;
        return std::nullopt;
    }
    Dictionary log = TalmerinMobStatLogManager::createBlankLog();
    for (const auto& [key, list] : *stored) {
        const Array* items = list.asArray();
        if (!log.contains(key) || !items) {
            skipped = true;
            continue;
        }
        Array kept;
        for (const Value& item : *items) {
            if (item.isDictionary())
                kept.push_back(item);
            else
                skipped = true;
        }
        log.set(key, Value(std::move(kept)));
    }
    return log;
}

std::shared_ptr<pf::UserDefaults> defaults()
{
    return pf::UserDefaults::standard();
}

}

std::shared_ptr<TalmerinMobStatLogManager> TalmerinMobStatLogManager::sharedManager()
{
    // A new launch (every test) starts with a new manager; queued work keeps the old one.
    static const bool registered = [] {
        pf::ResetRegistry::add([] {
            std::shared_ptr<TalmerinMobStatLogManager> old;
            std::lock_guard lock(g_sharedMutex);
            old = std::move(g_shared);
        });
        return true;
    }();
    (void)registered;
    std::lock_guard lock(g_sharedMutex);
    if (!g_shared)
        g_shared = std::make_shared<TalmerinMobStatLogManager>();
    return g_shared;
}

TalmerinMobStatLogManager::TalmerinMobStatLogManager()
    : m_queue(pf::DispatchQueue::create("com.talmerin.mobstat.log"))
    , m_store(std::make_shared<TalmerinMobStatLogStore>(TalmerinMobStatLogStore::defaultPath()))
    , m_deviceId(TalmerinUDID::value())
    , m_macAddress(TalmerinUDID::macAddress())
{
    takeLogFromDefaults();
    // A store written by hand may list more archived logs than the cap allows.
    m_store->dropOldestArchivedLogs(kMaxArchivedLogs);
}

void TalmerinMobStatLogManager::takeLogFromDefaults()
{
    auto stored = defaults();
    // Without its file the store would forget the log at the end of this launch.
    if (!m_store->persistent())
        return;
    // The keys taken in leave the defaults together, in one write at the end.
    std::vector<std::string> taken;
    // The upload's numbers: only numbers count (as when they were read from the defaults).
    for (const char* key : { kLastSendKey, kIndexPerSessionKey }) {
        Value number = stored->objectForKey(key);
        if (number.isMissing())
            continue;
        if (number.isNumber() && !number.asBool())
            m_store->setNumber(key, number.doubleValue());
        taken.push_back(key);
    }
    Value current = stored->objectForKey(kLogKey);
    Value archive = stored->objectForKey(kOldLogKey);
    if (current.isMissing() && archive.isMissing()) {
        stored->removeObjectsForKeys(taken);
        return;
    }
    // The store notes a digest of each key's value in the same transaction as the rows: a
    // value seen again (a launch killed before the defaults were cleared, the copy kept when
    // something did not read) is known whatever is left of the other key, while a log an
    // earlier version wrote later still comes in.
    auto sourceOf = [](const std::string& key, const Value& value) {
        return "defaults " + key + " " + pf::Crypto::sha1Hex(pf::KeyedArchiver::archivedValue(value));
    };
    std::string currentSource = sourceOf(kLogKey, current);
    std::string archiveSource = sourceOf(kOldLogKey, archive);
    // A store that took a log in before each key was noted on its own holds one digest of both.
    bool both = m_store->imported("defaults " + pf::Crypto::sha1Hex(pf::KeyedArchiver::archivedValue(Value(Array { current, archive }))));
    bool currentTaken = current.isMissing() || both || m_store->imported(currentSource);
    bool archiveTaken = archive.isMissing() || both || m_store->imported(archiveSource);
    // What reads is taken in; when anything did not, the stored copy stays as it was.
    bool skipped = false;
    std::optional<Dictionary> log = current.isMissing() ? createBlankLog() : readEarlierLog(current, skipped);
    Array logs;
    if (const Array* list = archive.asArray()) {
        for (const Value& item : *list) {
            if (auto archived = readEarlierLog(item, skipped))
                logs.push_back(Value(std::move(*archived)));
        }
    } else if (!archive.isMissing()) {
        skipped = true;
    }
    if (!currentTaken || !archiveTaken) {
        if (skipped)
            pf::Log::line("TalmerinMobStat: the stored log has the wrong shape in places; what reads is taken in and the "
                          "stored copy is kept");
        std::vector<std::string> sources;
        if (!current.isMissing())
            sources.push_back(currentSource);
        if (!archive.isMissing())
            sources.push_back(archiveSource);
        Value takenCurrent(currentTaken ? createBlankLog() : log.value_or(createBlankLog()));
        if (!m_store->importLogs(sources, takenCurrent, archiveTaken ? Array {} : logs)) {
            stored->removeObjectsForKeys(taken);
            return;
        }
    }
    if (!skipped) {
        taken.push_back(kLogKey);
        taken.push_back(kOldLogKey);
    }
    stored->removeObjectsForKeys(taken);
}

void TalmerinMobStatLogManager::setAppId(std::string appId)
{
    std::lock_guard lock(m_settingsMutex);
    m_appId = std::move(appId);
}

std::string TalmerinMobStatLogManager::appId() const
{
    std::lock_guard lock(m_settingsMutex);
    return m_appId;
}

void TalmerinMobStatLogManager::setChannelId(std::string channelId)
{
    std::lock_guard lock(m_settingsMutex);
    m_channelId = std::move(channelId);
}

void TalmerinMobStatLogManager::setShortAppVersion(std::string version)
{
    std::lock_guard lock(m_settingsMutex);
    m_shortAppVersion = std::move(version);
}

void TalmerinMobStatLogManager::setLogSendWifiOnly(bool wifiOnly)
{
    std::lock_guard lock(m_settingsMutex);
    m_wifiOnly = wifiOnly;
}

void TalmerinMobStatLogManager::setServiceAddress(std::string address)
{
    TalmerinMobStat::hosts().setAddress(TalmerinMobStat::kServiceHost, std::move(address));
}

void TalmerinMobStatLogManager::inBackground(std::function<void(TalmerinMobStatLogManager&)> work)
{
    // One serial queue: writes land in the order they were asked for, so an older copy of a
    // session can never overwrite a newer one.
    m_queue->async([self = shared_from_this(), work = std::move(work)]() mutable {
        work(*self);
        // The manager is let go on the main loop, like everything the app's callbacks hold.
        pf::RunLoop::main().post([self = std::move(self)] { });
    });
}

void TalmerinMobStatLogManager::putSession(Dictionary session)
{
    inBackground([session = std::move(session)](TalmerinMobStatLogManager& m) { m.syncPutSession(session); });
}

void TalmerinMobStatLogManager::putEvent(Dictionary event)
{
    inBackground([event = std::move(event)](TalmerinMobStatLogManager& m) { m.syncPutEvent(event); });
}

void TalmerinMobStatLogManager::putEventWithDurationTime(Dictionary event)
{
    inBackground([event = std::move(event)](TalmerinMobStatLogManager& m) { m.syncPutEventWithDurationTime(event); });
}

void TalmerinMobStatLogManager::sendLog()
{
    inBackground([](TalmerinMobStatLogManager& m) { m.syncSendAllLog(); });
}

bool TalmerinMobStatLogManager::putException(Dictionary entry, const std::string& source)
{
    bool landed = syncPutException(entry, source);
    TalmerinMobStat::debugLog("put ex");
    return landed;
}

void TalmerinMobStatLogManager::putInprogressSession(const std::string& sessionId)
{
    defaults()->setString(kInprogressSessionKey, sessionId);
}

std::optional<Dictionary> TalmerinMobStatLogManager::getInprogressSession()
{
    Value id = defaults()->objectForKey(kInprogressSessionKey);
    if (!id.asString())
        return std::nullopt;
    // The store has a short lock of its own, so the main thread never waits for a send.
    return m_store->session(*id.asString());
}

double TalmerinMobStatLogManager::lastSendTimestamp()
{
    return m_store->number(kLastSendKey).value_or(-1);
}

void TalmerinMobStatLogManager::setLastSendTimestamp(double ms)
{
    m_store->setNumber(kLastSendKey, ms);
    TalmerinMobStat::debugLog("LastSendTimestamp " + std::to_string(ms));
}

void TalmerinMobStatLogManager::resetLogSentIndexPerSession()
{
    TalmerinMobStat::debugLog("resetLogSentIndexPerSession");
    m_store->setNumber(kIndexPerSessionKey, 0);
}

int TalmerinMobStatLogManager::logSentIndexPerSession()
{
    return static_cast<int>(std::clamp<double>(m_store->number(kIndexPerSessionKey).value_or(0), INT_MIN, INT_MAX));
}

void TalmerinMobStatLogManager::setLogSentIndexPerSession(int index)
{
    m_store->setNumber(kIndexPerSessionKey, index);
    TalmerinMobStat::debugLog("LogSentIndexPerSession " + std::to_string(index));
}

Dictionary TalmerinMobStatLogManager::createBlankLog()
{
    return Dictionary { { "ev", Value(Array {}) }, { "ex", Value(Array {}) }, { "pr", Value(Array {}) } };
}

Dictionary TalmerinMobStatLogManager::createLogHeader()
{
    std::string channel, version, appId;
    {
        std::lock_guard lock(m_settingsMutex);
        channel = m_channelId.empty() ? "AppStore" : m_channelId;
        version = m_shortAppVersion.empty() ? TalmerinMobStatDeviceInfo::getBundleVersion() : m_shortAppVersion;
        appId = m_appId;
    }
    auto& device = pf::Device::current();
    bool identifiers = device.systemVersionFloat() >= 6.0;
    const std::string& mac = m_macAddress;
    return Dictionary {
        { "t", Value(TalmerinMobStat::nowMs()) },
        { "op", Value(TalmerinMobStatDeviceInfo::getNOP()) },
        { "d", Value(mac) },
        { "wl", Value(mac) },
        { "c", Value(channel) },
        { "a", Value(0) },
        { "n", Value(version) },
        { "o", Value("iOS") },
        { "l", Value(TalmerinMobStatDeviceInfo::getInternetConnection()) },
        { "m", Value(TalmerinMobStatDeviceInfo::platform()) },
        { "k", Value(appId) },
        { "i", Value(m_deviceId) },
        { "h", Value(TalmerinMobStatDeviceInfo::screenPixelHeight()) },
        { "w", Value(TalmerinMobStatDeviceInfo::screenPixelWidth()) },
        { "v", Value("3.2") },
        { "gl", Value("") },
        { "s", Value(device.systemVersion()) },
        { "cl", Value("") },
        { "ad", Value(identifiers ? device.advertisingIdentifier() : "") },
        { "vd", Value(identifiers ? device.vendorIdentifier() : "") },
        { "sq", Value(logSentIndexPerSession()) },
        { "ss", Value(m_sessionStart.load()) },
    };
}

Dictionary TalmerinMobStatLogManager::currentLog()
{
    return m_store->currentLog();
}

Array TalmerinMobStatLogManager::archivedLogs()
{
    Array logs;
    for (auto& archived : m_store->archivedLogs())
        logs.push_back(Value(std::move(archived.log)));
    return logs;
}

std::size_t TalmerinMobStatLogManager::logSize()
{
    return m_store->currentLogBytes();
}

std::size_t TalmerinMobStatLogManager::getOBJSizeForJSON(const Value& object)
{
    if (!object.isDictionary() && !object.asArray() && !object.asString())
        return 0;
    return StatLogCodec::jsonLength(object);
}

void TalmerinMobStatLogManager::log()
{
    if (auto json = StatLogCodec::json(Value(currentLog())))
        TalmerinMobStat::debugLog(*json);
}

void TalmerinMobStatLogManager::summarize()
{
    Array logs = archivedLogs();
    TalmerinMobStat::debugLog("archive log count-" + std::to_string(logs.size()));
    for (std::size_t i = 0; i < logs.size(); ++i)
        TalmerinMobStat::debugLog("size #" + std::to_string(i + 1) + " " + std::to_string(StatLogCodec::jsonLength(logs[i])));
}

void TalmerinMobStatLogManager::asyncGetLocation()
{
    std::lock_guard lock(m_settingsMutex);
    m_desiredAccuracy = kDesiredLocationAccuracy;
    m_updatingLocation = true;
}

void TalmerinMobStatLogManager::locationManagerDidUpdateToLocation(std::optional<Location> location)
{
    {
        std::lock_guard lock(m_settingsMutex);
        m_location = location.value_or(Location {});
        m_location.time = pf::RunLoop::main().now();
        m_updatingLocation = false;
    }
    sendLog();
}

void TalmerinMobStatLogManager::locationManagerDidFailWithError()
{
    {
        std::lock_guard lock(m_settingsMutex);
        m_location = Location { 0, 0, -1 };
    }
    sendLog();
    std::lock_guard lock(m_settingsMutex);
    m_updatingLocation = false;
}

TalmerinMobStatLogManager::Location TalmerinMobStatLogManager::lastLocation() const
{
    std::lock_guard lock(m_settingsMutex);
    return m_location;
}

bool TalmerinMobStatLogManager::updatingLocation() const
{
    std::lock_guard lock(m_settingsMutex);
    return m_updatingLocation;
}

double TalmerinMobStatLogManager::desiredLocationAccuracy() const
{
    std::lock_guard lock(m_settingsMutex);
    return m_desiredAccuracy;
}

void TalmerinMobStatLogManager::syncPutSession(const Dictionary& session)
{
    std::lock_guard lock(m_lock);
    std::size_t size = m_store->currentLogBytes();
    std::size_t total = size + StatLogCodec::jsonLength(Value(session));
    const Value* id = session.find("i");
    std::string sessionId = id ? id->stringValue() : "";
    TalmerinMobStat::debugLog("Put Session " + sessionId + " Size Check " + std::to_string(size) + "=>" + std::to_string(total));
    // An earlier copy of the session is replaced (and moves to the end) in either case.
    if (total < kSplitBytes) {
        m_store->putSession(sessionId, session);
        return;
    }
    TalmerinMobStat::debugLog(m_store->archivedLogCount() == 0 ? "split log- add new" : "split log- append new");
    // A device that never gets to send must not grow its store for ever: the oldest go.
    m_store->splitWithSession(sessionId, session, kMaxArchivedLogs);
}

void TalmerinMobStatLogManager::syncPutEvent(const Dictionary& event)
{
    std::lock_guard lock(m_lock);
    Value incoming(event);
    TalmerinMobStat::debugLog("put event " + incoming["i"].stringValue());
    double t = incoming["t"].doubleValue();
    // A counted event of the same name and label within the same rounded hour adds to it. Only
    // a counted entry takes it: its offsets end in "|" (an entry without any counts as "0|"),
    // while a timed event's "0" and its duration describe that one occurrence alone.
    auto sameCountedHour = [&](const Value& entry) {
        const Value& offsets = entry["s"];
        const std::string* text = offsets.asString();
        bool counted = offsets.isMissing() || (text && !text->empty() && text->back() == '|');
        return counted && std::llround(entry["t"].doubleValue() / 3600000.0) == std::llround(t / 3600000.0);
    };
    auto index = m_store->findEvent(incoming["i"], incoming["l"], sameCountedHour);
    if (!index) {
        m_store->append(List::Events, event);
        return;
    }
    Value found = m_store->entry(List::Events, *index);
    Dictionary entry = *found.asDictionary();
    double t0 = found["t"].doubleValue();
    const std::string* offsets = found["s"].asString();
    std::string list = offsets ? *offsets : "0|";
    list += std::to_string(std::llround(std::fabs(t - t0))) + "|";
    // A count read back from disk may already be the largest there is.
    long long count = found["c"].longValue();
    entry.set("c", Value(count < LLONG_MAX ? count + 1 : count));
    entry.set("s", Value(list));
    m_store->replace(List::Events, *index, entry);
}

void TalmerinMobStatLogManager::syncPutEventWithDurationTime(const Dictionary& event)
{
    std::lock_guard lock(m_lock);
    m_store->append(List::Events, event);
}

bool TalmerinMobStatLogManager::syncPutException(const Dictionary& entry, const std::string& source)
{
    std::lock_guard lock(m_lock);
    TalmerinMobStat::debugLog("put ex " + Value(entry)["c"].stringValue());
    if (!source.empty() && m_store->imported(source))
        return m_store->persistent();
    // The list's JSON with the new entry: past the limit, the oldest goes (never the new one).
    std::size_t count = m_store->count(List::Exceptions);
    std::size_t bytes = m_store->listBytes(List::Exceptions) + StatLogCodec::jsonLength(Value(entry)) + (count ? 1 : 0);
    return m_store->append(List::Exceptions, entry, count + 1 >= 2 && bytes > kExceptionListBytes, source) && m_store->persistent();
}

void TalmerinMobStatLogManager::syncSendAllLog()
{
    std::lock_guard lock(m_lock);
    // Readers see the send's time at once; it is written with the send's first change, or
    // at its end when nothing changed.
    double sentAt = static_cast<double>(TalmerinMobStat::nowMs());
    m_store->setNumberLater(kLastSendKey, sentAt);
    TalmerinMobStat::debugLog("LastSendTimestamp " + std::to_string(sentAt));
    struct Flush {
        TalmerinMobStatLogStore& store;
        ~Flush() { store.flushNumbers(); }
    } flush { *m_store };
    bool wifiOnly;
    {
        std::lock_guard settings(m_settingsMutex);
        wifiOnly = m_wifiOnly;
    }
    if (wifiOnly && TalmerinMobStatDeviceInfo::getInternetConnection() != "wifi")
        return;

    bool reachable = true;
    for (const auto& archived : m_store->archivedLogs()) {
        UploadResult result = syncSendLog(archived.log);
        if (result == UploadResult::Accepted) {
            m_store->removeArchivedLog(archived.number);
            continue;
        }
        if (result == UploadResult::TransportFailed) {
            reachable = false;
            break;
        }
    }
    // The current log's text is put together from its entries' stored texts; once it is
    // accepted, the log is cleared and the sent index counted in one write.
    if (reachable && upload(m_store->currentLogJson(kHeaderRoom)) == UploadResult::Accepted) {
        int index = logSentIndexPerSession() + 1;
        m_store->clearCurrentLog({ { kIndexPerSessionKey, index } });
        TalmerinMobStat::debugLog("LogSentIndexPerSession " + std::to_string(index));
    }
}

TalmerinMobStatLogManager::UploadResult TalmerinMobStatLogManager::syncSendLog(const Dictionary& log)
{
    Dictionary body = log;
    body.remove("he");
    UploadResult result = upload(StatLogCodec::json(Value(body)));
    if (result == UploadResult::Accepted)
        setLogSentIndexPerSession(logSentIndexPerSession() + 1);
    return result;
}

TalmerinMobStatLogManager::UploadResult TalmerinMobStatLogManager::upload(std::optional<std::string> json)
{
    // The header goes last, as "he", into the log's object.
    auto header = StatLogCodec::json(Value(createLogHeader()));
    if (json && header && json->size() >= 2 && json->back() == '}') {
        json->pop_back();
        if (json->size() > 1)
            *json += ',';
        *json += "\"he\":" + *header + "}";
    } else {
        json.reset();
    }
    if (!json) {
        pf::Log::line("TalmerinMobStat: a log cannot be written as JSON; it is kept and not sent");
        return UploadResult::Unwritable;
    }
    TalmerinMobStat::debugLog("send log ........................................................");
    TalmerinMobStat::debugLog(*json);
    // Compressed where it lies: the text is about 200 KB.
    auto gzipped = StatLogCodec::gzipDeflate({ reinterpret_cast<const std::uint8_t*>(json->data()), json->size() });
    if (!gzipped)
        return UploadResult::Unwritable;

    // Read at each upload, so a library pointed elsewhere after the manager was made follows.
    std::string address = TalmerinMobStat::hosts().address(TalmerinMobStat::kServiceHost);
    if (address.empty())
        return UploadResult::TransportFailed;
    pf::UrlRequest request(address + "app.gif", kUploadTimeout);
    request.setMethod("POST");
    request.setBody(std::move(*gzipped));
    request.setMaximumResponseSize(kMaxUploadReplyBytes);
    auto reply = pf::UrlConnection::sendSynchronousRequest(request);
    if (reply.error && reply.error->code == pf::UrlError::DataLengthExceedsMaximum) {
        TalmerinMobStat::debugLog("send log error: the reply is too long");
        return UploadResult::Refused;
    }
    if (!reply.succeeded() || !reply.response) {
        TalmerinMobStat::debugLog("send log error");
        return UploadResult::TransportFailed;
    }
    if (reply.response->statusCode() != 200) {
        TalmerinMobStat::debugLog("send log error");
        return UploadResult::Refused;
    }
    TalmerinMobStat::debugLog("send log success");
    TalmerinMobStat::debugLog(*json);
    pf::RunLoop::main().post([] { pf::NotificationCenter::defaultCenter().post(kSuccessNotification); });
    return UploadResult::Accepted;
}
