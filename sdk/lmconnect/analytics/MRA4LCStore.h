#pragma once

#include "sdk/lmconnect/analytics/MRA4LCDataConfig.h"
#include "sdk/lmconnect/analytics/MRA4LCStoreEvent.h"
#include "sdk/lmconnect/analytics/MRA4LCUser.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

struct sqlite3;
class MRA4LCEvent;
namespace pf { class DispatchQueue; }

// The statistics store: "morrow_analysis_lc.db" in the documents folder with the tables events,
// user and config, and the batch logic of the uploads.
//
// Rules:
// - Writes and batch selection run on the serial queue "MRA4LCStatStore"; every statement, from
//   any thread, runs under one process-wide lock and binds its values (texts of any length and
//   content are stored whole).
// - Event status: 1 pending, 2 sending. A batch is marked sending in the same step that loads
//   it, so no second trigger can pick it up. Rows still sending at start are pending again.
// - An event sent at once is stored, marked sending, before its upload begins, and leaves the
//   store only once the service has taken it: one whose upload a quit or a kill cut short goes
//   at a later launch, and no batch takes it while its own upload runs.
// - The pending count is atomic: recounted after every batch change and after the cap; inserts
//   raise it by one.
// - Every read goes through `pf::RetryingReadVfs`: a read that fails is made again a few times.
//   A database that reads whole and reports itself corrupt (or is no database) is set aside with
//   its journals (`pf::FileManager::setAsideWith`, never deleted) and made anew; one whose read
//   failed (for now, or at every try) is left as it is, and only that statement fails.
class MRA4LCStore : public std::enable_shared_from_this<MRA4LCStore> {
public:
    static constexpr const char* kFileName = "morrow_analysis_lc.db";
    static constexpr const char* kDbVersionKey = "MRA4LC_SDK_DB_VER";
    static constexpr std::uint32_t kPending = 1;
    static constexpr std::uint32_t kSending = 2;

    // Made on first use; a new launch (`pf::ResetRegistry`) makes a new one.
    static std::shared_ptr<MRA4LCStore> getInstance();
    ~MRA4LCStore();

    const std::shared_ptr<pf::DispatchQueue>& queue() const { return m_queue; }

    // Stores the event on the queue, then runs `done` there. The cap deletes the oldest second of
    // pending events first.
    void storeEvent(std::shared_ptr<const MRA4LCEvent> event, std::function<void()> done = { });
    // Uploads one batch of pending events (at most `maxLoadEventCount`, whatever the count) and,
    // when it succeeds, decides on follow-ups: -1 empties the store batch by batch until one
    // fails; a positive count goes on with what is left of it after the batch, and again with
    // the whole count while at least that many events are pending.
    void sendCachedEvents(int count);
    // Sends the event alone, at once: stored first, marked sending, then uploaded. Taken, it is
    // deleted and every pending event follows (as `sendCachedEvents(-1)`); refused or cut, it is
    // pending again, its failures not counted, as an event first stored then. An event the
    // store cannot hold is still sent, and stored only when that fails.
    void sendEventAtOnce(std::shared_ptr<const MRA4LCEvent> event);
    std::uint32_t storedEventCount() const { return m_numStoredEvents.load(); }

    // The stored user record; made (device id, type 0, current version, now) when there is none.
    // Safe on the store's own queue.
    std::optional<MRA4LCUser> loadUser();
    void storeUser(const MRA4LCUser& user);
    void storeConfig(const MRA4LCDataConfig& config);
    // Synchronously, every stored configuration.
    void loadConfig(const std::function<void(const MRA4LCDataConfig&)>& each);
    void close();

    // Every event row, oldest first (for inspection).
    std::vector<MRA4LCStoreEvent> allEvents();
    std::string path() const { return m_path; }

private:
    // A new launch: queued work finishes, the database is closed and the instance forgotten.
    static void resetShared();
    MRA4LCStore();
    struct Statement;

    sqlite3* getDB();
    void closeDB();
    // Moves a damaged database aside; false (the store unused until the next launch) when it
    // cannot be moved.
    bool setAsideDB();
    void initDB();
    // Runs one statement with bound values; `row` sees each result row. Gives SQLite's code, -1
    // without a connection. Corruption remakes the database.
    using Arg = std::variant<long long, std::string>;
    int run(const std::string& sql, const std::vector<Arg>& values,
        const std::function<void(Statement&)>& row = { }, bool healCorruption = true);
    std::uint32_t getStoredEventsNum();
    // Inserts the event with that status (the cap first, for a pending one); its row id, none
    // when the insert failed.
    std::optional<std::uint32_t> insertEvent(const std::string& content, std::uint32_t status, std::uint32_t ts);
    std::vector<MRA4LCStoreEvent> loadAndMarkBatch();
    void applyBatch(const std::vector<MRA4LCStoreEvent>& batch, const std::function<int(const MRA4LCStoreEvent&)>& each);
    void deleteEvents(const std::vector<MRA4LCStoreEvent>& batch);
    void updateSendFailedEvents(const std::vector<MRA4LCStoreEvent>& batch);
    std::optional<MRA4LCUser> readUser();

    std::string m_path;
    std::shared_ptr<pf::DispatchQueue> m_queue;
    sqlite3* m_db { nullptr };
    bool m_unusable { false };
    std::atomic<std::uint32_t> m_numStoredEvents { 0 };
};
