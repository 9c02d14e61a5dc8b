#include "sdk/lmconnect/analytics/MRA4LCStore.h"

#include "sdk/lmconnect/analytics/MRA4LCConfig.h"
#include "sdk/lmconnect/analytics/MRA4LCDispatcher.h"
#include "sdk/lmconnect/analytics/MRA4LCEvent.h"
#include "sdk/lmconnect/analytics/MRA4LCHelper.h"

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/RetryingReadVfs.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/StoreErrors.h"
#include "platform/foundation/UserDefaults.h"

#include <sqlite3.h>

#include <mutex>

namespace {

// Every statement of the store, whatever thread runs it. Never destroyed, as the two below.
std::recursive_mutex& storeLock()
{
    static auto& lock = *new std::recursive_mutex;
    return lock;
}

// Never destroyed: work still on a queue while the process exits reads them after static
// destruction has begun.
std::mutex& instanceMutex()
{
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::shared_ptr<MRA4LCStore>& instanceSlot()
{
    static auto* slot = new std::shared_ptr<MRA4LCStore>;
    return *slot;
}

const char* const kCreateTables[] = {
    "create table if not exists events(event_id INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL, content TEXT, status INTEGER, send_count INTEGER, ts INTEGER)",
    "create table if not exists user(uid TEXT, user_type INTEGER, app_ver TEXT, ts INTEGER, PRIMARY KEY(uid))",
    "create table if not exists config(type INTEGER, content TEXT, md5sum TEXT, version INTEGER, PRIMARY KEY(type))",
};

long long num(long long value) { return value; }

}

// A result row: its columns as integers or texts.
struct MRA4LCStore::Statement {
    sqlite3_stmt* stmt;
    int columns() const { return sqlite3_column_count(stmt); }
    bool isNull(int i) const { return sqlite3_column_type(stmt, i) == SQLITE_NULL; }
    long long integer(int i) const { return sqlite3_column_int64(stmt, i); }
    std::string text(int i) const
    {
        auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
        return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt, i))) : std::string();
    }
};

std::shared_ptr<MRA4LCStore> MRA4LCStore::getInstance()
{
    static const bool registered = [] {
        pf::ResetRegistry::add([] { MRA4LCStore::resetShared(); });
        return true;
    }();
    (void)registered;
    std::lock_guard lock(instanceMutex());
    if (!instanceSlot()) {
        instanceSlot().reset(new MRA4LCStore());
        instanceSlot()->initDB();
    }
    return instanceSlot();
}

void MRA4LCStore::resetShared()
{
    std::shared_ptr<MRA4LCStore> store;
    {
        std::lock_guard lock(instanceMutex());
        store = std::move(instanceSlot());
    }
    if (store) {
        store->m_queue->sync([] { });
        store->close();
    }
}

MRA4LCStore::MRA4LCStore()
    : m_path(pf::FileManager::join(pf::Sandbox::current()->documentsPath(), kFileName))
    , m_queue(pf::DispatchQueue::create("MRA4LCStatStore"))
{
}

MRA4LCStore::~MRA4LCStore()
{
    closeDB();
}

sqlite3* MRA4LCStore::getDB()
{
    std::lock_guard lock(storeLock());
    if (!m_db) {
        pf::FileManager::createDirectory(m_path.substr(0, m_path.rfind('/')), true);
        // Every read goes through the file system that makes a failed read again.
        if (m_unusable
            || sqlite3_open_v2(m_path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, pf::RetryingReadVfs::name()) != SQLITE_OK) {
            sqlite3_close(m_db);
            m_db = nullptr;
        } else {
            // Each event is its own write; a journal that does not sync per insert keeps that cheap.
            sqlite3_exec(m_db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);
        }
    }
    return m_db;
}

void MRA4LCStore::closeDB()
{
    std::lock_guard lock(storeLock());
    if (m_db)
        sqlite3_close(m_db);
    m_db = nullptr;
}

bool MRA4LCStore::setAsideDB()
{
    std::lock_guard lock(storeLock());
    closeDB();
    // Kept for a person, with the journals that belong to it, as every damaged store is.
    std::string error;
    auto aside = pf::FileManager::setAsideWith(m_path, { "-journal", "-wal", "-shm" }, &error);
    if (!aside) {
        pf::Log::line("statistics database damaged, and it cannot be set aside (" + error + "); it is not used until the next launch");
        m_unusable = true;
        return false;
    }
    pf::Log::line("statistics database damaged; it is set aside as " + *aside + " and an empty one is started");
    return true;
}

void MRA4LCStore::initDB()
{
    {
        std::lock_guard lock(storeLock());
        if (!getDB())
            return;
        auto defaults = pf::UserDefaults::standard();
        if (defaults->integerForKey(kDbVersionKey) == 0) {
            defaults->setInteger(kDbVersionKey, 1);
            defaults->synchronize();
        }
        for (const char* sql : kCreateTables) {
            const auto before = pf::RetryingReadVfs::failures();
            int rc = run(sql, { }, { }, false);
            if (pf::StoreErrors::isDamageReadWhole(rc, before)) {
                if (!setAsideDB() || !getDB())
                    return;
                for (const char* again : kCreateTables)
                    run(again, { }, { }, false);
                break;
            }
        }
    }
    m_queue->async([self = shared_from_this()] {
        // Uploads cut off by the end of an earlier run go again.
        self->run("update events set status=? where status=?", { num(kPending), num(kSending) });
        self->m_numStoredEvents = self->getStoredEventsNum();
    });
}

int MRA4LCStore::run(const std::string& sql, const std::vector<Arg>& values,
    const std::function<void(Statement&)>& row, bool healCorruption)
{
    std::lock_guard lock(storeLock());
    sqlite3* db = getDB();
    if (!db)
        return -1;
    const auto before = pf::RetryingReadVfs::failures();
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        for (size_t i = 0; i < values.size(); ++i) {
            const int index = static_cast<int>(i + 1);
            if (const auto* text = std::get_if<std::string>(&values[i]))
                sqlite3_bind_text(stmt, index, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
            else
                sqlite3_bind_int64(stmt, index, std::get<long long>(values[i]));
        }
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            if (row) {
                Statement s { stmt };
                row(s);
            }
        }
        if (rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    sqlite3_finalize(stmt);
    // Only a file that read whole and is wrong is damaged; one whose read failed is left as it
    // is, and a later statement reads it again.
    if (healCorruption && pf::StoreErrors::isDamageReadWhole(rc, before)) {
        if (setAsideDB())
            initDB();
        return SQLITE_CORRUPT;
    }
    if (pf::StoreErrors::isDamage(rc) && pf::RetryingReadVfs::failures().anySince(before))
        pf::Log::line("statistics database could not be read for now; it is left as it is");
    return rc;
}

std::uint32_t MRA4LCStore::getStoredEventsNum()
{
    long long count = 0;
    if (run("select count(*) from events where status=?", { num(kPending) }, [&](Statement& s) { count = s.integer(0); }) != SQLITE_OK)
        return 0;
    return static_cast<std::uint32_t>(count);
}

void MRA4LCStore::storeEvent(std::shared_ptr<const MRA4LCEvent> event, std::function<void()> done)
{
    if (!event)
        return;
    m_queue->async([self = shared_from_this(), event = std::move(event), done = std::move(done)] {
        self->insertEvent(event->toJsonString(), kPending, event->ts);
        if (done)
            done();
    });
}

std::optional<std::uint32_t> MRA4LCStore::insertEvent(const std::string& content, std::uint32_t status, std::uint32_t ts)
{
    std::lock_guard lock(storeLock());
    if (m_numStoredEvents >= MRA4LCConfig::shared().maxStoreEventCount) {
        run("delete from events where status=? and ts in (select min(ts) from events where status=?)", { num(kPending), num(kPending) });
        m_numStoredEvents = getStoredEventsNum();
    }
    if (run("insert into events(content, status, send_count, ts) values(?, ?, 0, ?)", { content, num(status), num(ts) }) != SQLITE_OK)
        return std::nullopt;
    if (status == kPending)
        ++m_numStoredEvents;
    sqlite3* db = getDB();
    return db ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(sqlite3_last_insert_rowid(db))) : std::nullopt;
}

void MRA4LCStore::sendEventAtOnce(std::shared_ptr<const MRA4LCEvent> event)
{
    if (!event)
        return;
    m_queue->async([self = shared_from_this(), event = std::move(event)] {
        auto content = event->toJsonString();
        auto row = self->insertEvent(content, kSending, event->ts);
        MRA4LCDispatcher::getInstance()->send({ content }, [self, event, row](bool ok) {
            self->m_queue->async([self, event, row, ok] {
                if (row) {
                    std::lock_guard lock(storeLock());
                    if (ok)
                        self->run("delete from events where event_id=?", { num(*row) });
                    else
                        self->run("update events set status=? where event_id=?", { num(kPending), num(*row) });
                    self->m_numStoredEvents = self->getStoredEventsNum();
                } else if (!ok) {
                    self->storeEvent(event);
                }
                if (ok)
                    self->sendCachedEvents(-1);
            });
        });
    });
}

std::vector<MRA4LCStoreEvent> MRA4LCStore::loadAndMarkBatch()
{
    std::lock_guard lock(storeLock());
    std::vector<MRA4LCStoreEvent> batch;
    run("select event_id, content, status, send_count, ts from events where status=? order by ts, event_id limit ?",
        { num(kPending), num(MRA4LCConfig::shared().maxLoadEventCount) }, [&](Statement& s) {
            if (s.columns() != 5 || s.isNull(0))
                return;
            batch.push_back({ static_cast<std::uint32_t>(s.integer(0)), s.text(1), static_cast<std::uint32_t>(s.integer(2)),
                static_cast<std::uint32_t>(s.integer(3)), static_cast<std::uint32_t>(s.integer(4)) });
        });
    applyBatch(batch, [this](const MRA4LCStoreEvent& e) {
        return run("update events set status=? where event_id=?", { num(kSending), num(e.eventId) });
    });
    return batch;
}

void MRA4LCStore::applyBatch(const std::vector<MRA4LCStoreEvent>& batch, const std::function<int(const MRA4LCStoreEvent&)>& each)
{
    std::lock_guard lock(storeLock());
    const bool transaction = batch.size() >= 2;
    if (transaction)
        run("BEGIN TRANSACTION", { });
    for (const auto& event : batch) {
        if (each(event) != SQLITE_OK)
            break;
    }
    if (transaction)
        run("END TRANSACTION", { });
    m_numStoredEvents = getStoredEventsNum();
}

void MRA4LCStore::deleteEvents(const std::vector<MRA4LCStoreEvent>& batch)
{
    applyBatch(batch, [this](const MRA4LCStoreEvent& e) { return run("delete from events where event_id=?", { num(e.eventId) }); });
}

void MRA4LCStore::updateSendFailedEvents(const std::vector<MRA4LCStoreEvent>& batch)
{
    applyBatch(batch, [this](const MRA4LCStoreEvent& e) {
        auto count = e.sendCount + 1;
        if (count < MRA4LCConfig::shared().maxSendRetryCount)
            return run("update events set status=?, send_count=? where event_id=?", { num(kPending), num(count), num(e.eventId) });
        return run("delete from events where event_id=?", { num(e.eventId) });
    });
}

void MRA4LCStore::sendCachedEvents(int count)
{
    m_queue->async([self = shared_from_this(), count] {
        if (!MRA4LCConfig::shared().statEnable || count == 0 || self->m_numStoredEvents == 0)
            return;
        auto batch = self->loadAndMarkBatch();
        if (batch.empty())
            return;
        std::vector<std::string> texts;
        for (const auto& e : batch)
            texts.push_back(e.content);
        MRA4LCDispatcher::getInstance()->send(std::move(texts), [self, batch, count](bool ok) {
            self->m_queue->async([self, batch, count, ok] {
                if (!ok) {
                    self->updateSendFailedEvents(batch);
                    return;
                }
                self->deleteEvents(batch);
                // Both follow-ups may go: each loads and marks its own batch in one step on this
                // queue, so the second finds only rows the first did not take.
                const int size = static_cast<int>(batch.size());
                if (count < 0)
                    self->sendCachedEvents(-1);
                if (count >= 1 && count > size)
                    self->sendCachedEvents(count - size);
                if (count >= 1 && self->m_numStoredEvents >= static_cast<std::uint32_t>(count))
                    self->sendCachedEvents(count);
            });
        });
    });
}

std::optional<MRA4LCUser> MRA4LCStore::readUser()
{
    std::vector<MRA4LCUser> users;
    bool wellFormed = true;
    int rc = run("select uid, user_type, app_ver, ts from user", { }, [&](Statement& s) {
        if (s.columns() != 4 || s.isNull(0)) {
            wellFormed = false;
            return;
        }
        users.push_back({ s.text(0), static_cast<std::int32_t>(s.integer(1)), s.text(2), static_cast<std::uint32_t>(s.integer(3)) });
    });
    if (rc != SQLITE_OK || !wellFormed || users.size() > 1)
        return std::nullopt;
    if (users.size() == 1)
        return users.front();
    const auto& env = MRA4LCHelper::getInstance()->getEnv();
    MRA4LCUser user { env.deviceid, 0, env.app_version, static_cast<std::uint32_t>(pf::RunLoop::main().now()) };
    run("insert into user values(?, ?, ?, ?)", { user.uid, num(user.userType), user.appVer, num(user.tagTime) });
    return user;
}

std::optional<MRA4LCUser> MRA4LCStore::loadUser()
{
    // A session event stored before any user record asks for it on this very queue.
    if (m_queue->isCurrent())
        return readUser();
    std::optional<MRA4LCUser> user;
    m_queue->sync([&] { user = readUser(); });
    return user;
}

void MRA4LCStore::storeUser(const MRA4LCUser& user)
{
    m_queue->async([self = shared_from_this(), user] {
        self->run("update user set user_type=?, app_ver=?, ts=? where uid=?",
            { num(user.userType), user.appVer, num(user.tagTime), user.uid });
    });
}

void MRA4LCStore::storeConfig(const MRA4LCDataConfig& config)
{
    m_queue->async([self = shared_from_this(), config] {
        self->run("replace into config(type, content, md5sum, version) values(?, ?, ?, ?)",
            { num(config.type), config.content, config.md5, num(config.version) });
    });
}

void MRA4LCStore::loadConfig(const std::function<void(const MRA4LCDataConfig&)>& each)
{
    std::vector<MRA4LCDataConfig> configs;
    run("select type, content, md5sum, version from config", { }, [&](Statement& s) {
        if (s.columns() != 4 || s.isNull(0))
            return;
        configs.push_back({ static_cast<std::uint32_t>(s.integer(0)), s.text(1), s.text(2), static_cast<std::uint32_t>(s.integer(3)) });
    });
    for (const auto& config : configs)
        each(config);
}

void MRA4LCStore::close()
{
    closeDB();
}

std::vector<MRA4LCStoreEvent> MRA4LCStore::allEvents()
{
    std::vector<MRA4LCStoreEvent> events;
    run("select event_id, content, status, send_count, ts from events order by ts, event_id", { }, [&](Statement& s) {
        events.push_back({ static_cast<std::uint32_t>(s.integer(0)), s.text(1), static_cast<std::uint32_t>(s.integer(2)),
            static_cast<std::uint32_t>(s.integer(3)), static_cast<std::uint32_t>(s.integer(4)) });
    });
    return events;
}
