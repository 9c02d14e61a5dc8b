#include "sdk/stats/TalmerinMobStatLogStore.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RetryingReadVfs.h"
#include "platform/foundation/StoreErrors.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/TextEncoding.h"
#include "sdk/stats/StatLogCodec.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>

using pf::Array;
using pf::Dictionary;
using pf::Value;
using List = TalmerinMobStatLogStore::List;

namespace {

constexpr int kBusyTimeoutMilliseconds = 250;
// Bytes of a list's text that may be left behind before it is written again, whatever the
// list holds (an exception entry alone may take some kilobytes).
constexpr std::size_t kTextSlack = 4096;
constexpr List kLists[] = { List::Events, List::Exceptions, List::Sessions };

// The tables as SQLite keeps their text; a file whose tables read otherwise is not ours.
struct Table {
    const char* name;
    const char* definition;
};
// The current log has a table of its own, so clearing it after an upload frees its pages
// whole instead of deleting row after row.
constexpr Table kTables[] = {
    { "current", "CREATE TABLE current(list TEXT NOT NULL, position INTEGER NOT NULL, entry NOT NULL, "
                 "PRIMARY KEY(list, position)) WITHOUT ROWID" },
    { "logs", "CREATE TABLE logs(id INTEGER PRIMARY KEY)" },
    { "archive", "CREATE TABLE archive(log INTEGER NOT NULL, list TEXT NOT NULL, position INTEGER NOT NULL, "
                 "entry NOT NULL, PRIMARY KEY(log, list, position)) WITHOUT ROWID" },
    { "imports", "CREATE TABLE imports(source TEXT PRIMARY KEY)" },
    { "settings", "CREATE TABLE settings(key TEXT PRIMARY KEY, value NOT NULL)" },
};

int indexOf(List list) { return static_cast<int>(list); }

std::optional<List> listNamed(const std::string& name)
{
    for (List list : kLists) {
        if (name == TalmerinMobStatLogStore::keyOf(list))
            return list;
    }
    return std::nullopt;
}

// Bytes of the JSON of a list whose entries' JSON come to `entryBytes`.
std::size_t listJsonBytes(std::size_t count, std::size_t entryBytes)
{
    return 2 + entryBytes + (count ? count - 1 : 0);
}

bool isDamage(int code)
{
    // Not a database, damaged pages, or tables of another shape (statements that do not fit).
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB || code == SQLITE_ERROR;
}

}

TalmerinMobStatLogStore::TalmerinMobStatLogStore(std::string path)
    : m_path(std::move(path))
{
    open();
}

TalmerinMobStatLogStore::~TalmerinMobStatLogStore() = default;

std::string TalmerinMobStatLogStore::defaultPath()
{
    return pf::FileManager::join(pf::Sandbox::current()->libraryPath(), kFileName);
}

const char* TalmerinMobStatLogStore::keyOf(List list)
{
    switch (list) {
    case List::Events: return "ev";
    case List::Exceptions: return "ex";
    case List::Sessions: return "pr";
    }
    return "";
}

bool TalmerinMobStatLogStore::persistent() const
{
    std::lock_guard lock(m_mutex);
    return m_db && m_db->getFilename() == m_path;
}

void TalmerinMobStatLogStore::open()
{
    pf::FileManager::createDirectory(m_path.substr(0, m_path.rfind('/')), true);
    bool setAside = false;
    bool triedAgain = false;
    for (;;) {
        const auto before = pf::RetryingReadVfs::failures();
        try {
            openFile(m_path);
            return;
        } catch (const SQLite::Exception& e) {
            int code = e.getErrorCode() & 0xFF;
            pf::Log::format("TalmerinMobStat: the log store %s cannot be used: %s (code %d)", m_path.c_str(), e.what(),
                e.getExtendedErrorCode());
            closeDatabase();
            // Damage is a file that read whole and is wrong. A read that failed (for now, or at
            // every try) only fails this opening: the file is left as it is, opened once more
            // (a new opening reads again), and otherwise kept for the next launch.
            const bool readWhole = !pf::RetryingReadVfs::failures().anySince(before);
            if (!readWhole || !isDamage(code)) {
                if (triedAgain || !(pf::StoreErrors::isPassing(e.getExtendedErrorCode()) || !readWhole))
                    break;
                triedAgain = true;
                continue;
            }
            if (setAside)
                break;
            // Kept aside for a person to recover, each damaged store in a copy of its own, with the
            // journals that belong to it.
            std::string error;
            auto aside = pf::FileManager::setAsideWith(m_path, { "-wal", "-shm", "-journal" }, &error);
            if (!aside) {
                pf::Log::format("TalmerinMobStat: the damaged log store cannot be moved aside: %s", error.c_str());
                break;
            }
            setAside = true;
            pf::Log::format("TalmerinMobStat: the damaged log store was moved to %s; a blank log is started", aside->c_str());
        } catch (const std::exception& e) {
            pf::Log::format("TalmerinMobStat: the log store %s cannot be used: %s", m_path.c_str(), e.what());
            closeDatabase();
            break;
        }
    }
    // The file is left as it is for the next launch; until then the log is kept in memory.
    pf::Log::line("TalmerinMobStat: the statistics log is kept in memory until the next launch");
    try {
        openFile(":memory:");
    } catch (const std::exception& e) {
        pf::Log::format("TalmerinMobStat: no log store at all: %s", e.what());
        closeDatabase();
        resetInMemory();
        m_archive.clear();
        m_numbers.clear();
    }
}

void TalmerinMobStatLogStore::closeDatabase()
{
    m_reused.clear();
    m_db.reset();
}

void TalmerinMobStatLogStore::openFile(const std::string& path)
{
    closeDatabase();
    // Every read goes through the file system that makes a failed read again: one the disk gives
    // back on a later try costs nothing.
    m_db = std::make_unique<SQLite::Database>(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, kBusyTimeoutMilliseconds,
        path == ":memory:" ? "" : pf::RetryingReadVfs::name());
    m_db->exec("PRAGMA journal_mode=WAL");
    m_db->exec("PRAGMA synchronous=NORMAL");
    // Entries are deleted a whole log at a time: zeroing every freed page would write the log
    // once more. What is deleted is still overwritten where the page is written anyway.
    m_db->exec("PRAGMA secure_delete=FAST");
    createSchema();
    loadArchiveNumbers();
    loadNumbers();
    loadCurrentLog();
}

void TalmerinMobStatLogStore::createSchema()
{
    SQLite::Transaction transaction(*m_db);
    for (const Table& table : kTables) {
        SQLite::Statement query(*m_db, "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?");
        query.bind(1, table.name);
        if (!query.executeStep()) {
            m_db->exec(table.definition);
            continue;
        }
        if (query.getColumn(0).getString() != table.definition)
            throw SQLite::Exception(std::string("the table ") + table.name + " has another shape", SQLITE_ERROR);
    }
    // Rows of a log the archive does not list belong to nothing.
    m_db->exec("DELETE FROM archive WHERE log NOT IN (SELECT id FROM logs)");
    transaction.commit();
}

void TalmerinMobStatLogStore::loadArchiveNumbers()
{
    m_archive.clear();
    SQLite::Statement query(*m_db, "SELECT id FROM logs WHERE id > 0 ORDER BY id");
    while (query.executeStep())
        m_archive.push_back(query.getColumn(0).getInt64());
}

void TalmerinMobStatLogStore::loadCurrentLog()
{
    resetInMemory();
    for (auto& kept : m_keptRows)
        kept.clear();
    std::size_t total = 0;
    std::size_t foreign = 0;
    std::size_t unreadable = 0;
    bool full = false;
    SQLite::Statement query(*m_db, "SELECT list, position, entry FROM current ORDER BY list, position");
    while (query.executeStep()) {
        auto list = listNamed(query.getColumn(0).getString());
        long long position = query.getColumn(1).getInt64();
        if (!list) {
            ++foreign;
            continue;
        }
        std::size_t bytes = static_cast<std::size_t>(query.getColumn(2).getBytes());
        std::optional<Value> value = decode(query, 2);
        // The text as this version writes it, whatever the row held.
        std::optional<Row> row = value ? encode(*value) : std::nullopt;
        if (!row) {
            ++unreadable;
        } else if (total + bytes > kMaxCurrentLogBytes) {
            full = true;
            row.reset();
        }
        // What is not read stays in its row, as it is, and keeps its place.
        if (!row) {
            m_keptRows[indexOf(*list)].push_back(position);
            continue;
        }
        total += bytes;
        appendInMemory(*list, entryOf(*list, std::move(*value), position, *row), *row);
    }
    m_foreignRows = foreign > 0;
    if (foreign)
        pf::Log::format("TalmerinMobStat: the stored log holds %zu entries of lists this version does not know; they are left as they are", foreign);
    if (unreadable)
        pf::Log::format("TalmerinMobStat: the stored log holds %zu entries this version cannot read (another encoding, not a "
                        "dictionary or too large); they are left as they are", unreadable);
    if (full)
        pf::Log::line("TalmerinMobStat: the stored log is larger than a log can grow; the rest is left in the file for a later launch");
}

std::optional<Value> TalmerinMobStatLogStore::decode(const SQLite::Statement& query, int column) const
{
    SQLite::Column stored = query.getColumn(column);
    std::optional<Value> value;
    std::size_t size = static_cast<std::size_t>(stored.getBytes());
    if (size > kMaxEntryBytes)
        return std::nullopt;
    if (stored.isText()) {
        value = pf::Json::parse(std::string_view(static_cast<const char*>(stored.getBlob()), size));
    } else if (stored.isBlob()) {
        auto* data = static_cast<const std::uint8_t*>(stored.getBlob());
        value = pf::KeyedUnarchiver::unarchivedValue(pf::Bytes(data, data + size));
    }
    if (!value || !value->isDictionary())
        return std::nullopt;
    return value;
}

std::optional<TalmerinMobStatLogStore::Row> TalmerinMobStatLogStore::encode(const Value& entry)
{
    if (auto json = StatLogCodec::json(entry))
        return Row { std::move(*json), {}, true };
    // A keyed archive holds data and dates; one that cannot be written comes out empty.
    pf::Bytes archived = pf::KeyedArchiver::archivedValue(entry);
    if (archived.empty())
        return std::nullopt;
    return Row { {}, std::move(archived), false };
}

std::optional<TalmerinMobStatLogStore::Row> TalmerinMobStatLogStore::encodeOrRefuse(const Value& entry)
{
    auto row = encode(entry);
    if (!row)
        pf::Log::line("TalmerinMobStat: a log entry cannot be written whole (JSON cannot hold it, nor a keyed archive its texts); it is refused");
    return row;
}

std::string TalmerinMobStatLogStore::ownRows() const
{
    // Without rows another version keeps every row is in memory, and no condition is added: a
    // delete of the whole table is far quicker than one row by row.
    std::string where;
    if (m_foreignRows) {
        where = " WHERE list IN (";
        for (List list : kLists)
            where += std::string(list == kLists[0] ? "'" : ", '") + keyOf(list) + "'";
        where += ")";
    }
    for (List list : kLists) {
        const auto& kept = m_keptRows[indexOf(list)];
        if (kept.empty())
            continue;
        where += where.empty() ? " WHERE " : " AND ";
        where += std::string("NOT (list = '") + keyOf(list) + "' AND position IN (";
        for (std::size_t i = 0; i < kept.size(); ++i)
            where += (i ? "," : "") + std::to_string(kept[i]);
        where += "))";
    }
    return where;
}

TalmerinMobStatLogStore::Entry TalmerinMobStatLogStore::entryOf(List list, Value value, long long position, const Row& row)
{
    Entry entry;
    entry.position = position;
    if (list == List::Events)
        entry.key = std::hash<std::string> {}(eventKey(value["i"], value["l"]));
    if (list == List::Sessions) {
        if (const std::string* id = value["i"].asString())
            entry.sessionId = *id;
    }
    if (!row.isText)
        entry.value = std::move(value);
    return entry;
}

std::string_view TalmerinMobStatLogStore::textOf(List list, const Entry& entry) const
{
    return std::string_view(m_texts[indexOf(list)]).substr(entry.offset, entry.length);
}

Value TalmerinMobStatLogStore::valueOf(List list, const Entry& entry) const
{
    if (entry.value)
        return *entry.value;
    // The text was written from a dictionary by this process or checked when it was read.
    auto value = pf::Json::parse(textOf(list, entry));
    return value && value->isDictionary() ? std::move(*value) : Value(Dictionary {});
}

void TalmerinMobStatLogStore::bindRow(SQLite::Statement& statement, int index, const Row& row)
{
    if (row.isText)
        statement.bindNoCopy(index, row.text);
    else
        statement.bindNoCopy(index, row.blob.data(), static_cast<int>(row.blob.size()));
}

bool TalmerinMobStatLogStore::transaction(const char* what, const std::function<void(SQLite::Database&)>& work)
{
    if (!m_db)
        return false;
    try {
        runReused("BEGIN");
        try {
            for (const auto& [key, value] : m_pendingNumbers)
                writeNumber(key, value);
            work(*m_db);
            runReused("COMMIT");
        } catch (...) {
            // Nothing of it is kept (a commit that failed may have ended it already).
            m_db->tryExec("ROLLBACK");
            throw;
        }
        m_pendingNumbers.clear();
        return true;
    } catch (const std::exception& e) {
        pf::Log::format("TalmerinMobStat: the log store could not %s: %s; the change is lost", what, e.what());
        return false;
    }
}

void TalmerinMobStatLogStore::runReused(const std::string& sql, const std::function<void(SQLite::Statement&)>& bind)
{
    auto found = m_reused.find(sql);
    if (found == m_reused.end())
        found = m_reused.emplace(sql, std::make_unique<SQLite::Statement>(*m_db, sql)).first;
    SQLite::Statement& statement = *found->second;
    // Reset however it ends, so that no statement is left running between uses.
    struct Reset {
        SQLite::Statement& statement;
        ~Reset() { statement.tryReset(); }
    } reset { statement };
    statement.clearBindings();
    if (bind)
        bind(statement);
    statement.exec();
}

void TalmerinMobStatLogStore::insertRow(SQLite::Database& db, long long log, List list, long long position, const Row& row)
{
    if (log == 0) {
        runReused("INSERT INTO current(list, position, entry) VALUES(?, ?, ?)", [&](SQLite::Statement& insert) {
            insert.bindNoCopy(1, keyOf(list));
            insert.bind(2, static_cast<int64_t>(position));
            bindRow(insert, 3, row);
        });
        return;
    }
    SQLite::Statement insert(db, "INSERT INTO archive(log, list, position, entry) VALUES(?, ?, ?, ?)");
    insert.bind(1, static_cast<int64_t>(log));
    insert.bindNoCopy(2, keyOf(list));
    insert.bind(3, static_cast<int64_t>(position));
    bindRow(insert, 4, row);
    insert.exec();
}

void TalmerinMobStatLogStore::deleteCurrentRow(List list, long long position)
{
    runReused("DELETE FROM current WHERE list = ? AND position = ?", [&](SQLite::Statement& remove) {
        remove.bindNoCopy(1, keyOf(list));
        remove.bind(2, static_cast<int64_t>(position));
    });
}

void TalmerinMobStatLogStore::deleteArchivedLog(SQLite::Database& db, long long number)
{
    SQLite::Statement rows(db, "DELETE FROM archive WHERE log = ?");
    rows.bind(1, static_cast<int64_t>(number));
    rows.exec();
    SQLite::Statement log(db, "DELETE FROM logs WHERE id = ?");
    log.bind(1, static_cast<int64_t>(number));
    log.exec();
}

std::string TalmerinMobStatLogStore::eventKey(const Value& id, const Value& label)
{
    // Equal values give equal keys; a shared key is only a candidate, checked by the caller.
    auto part = [](const Value& value) {
        std::string text(1, static_cast<char>('0' + static_cast<int>(value.type())));
        if (const std::string* s = value.asString())
            text += pf::TextEncoding::withEscapedBytes(*s);
        else if (value.type() != Value::Type::Missing)
            text += StatLogCodec::json(value).value_or("");
        return text;
    };
    return part(id) + '\0' + part(label);
}

void TalmerinMobStatLogStore::appendInMemory(List list, Entry entry, const Row& row)
{
    auto& entries = m_lists[indexOf(list)];
    placeText(list, entry, row);
    m_listBytes[indexOf(list)] += entry.length;
    if (list == List::Events)
        indexEvent(entry, entries.size());
    entries.push_back(std::move(entry));
}

void TalmerinMobStatLogStore::replaceInMemory(List list, std::size_t index, Entry entry, const Row& row)
{
    Entry& old = m_lists[indexOf(list)][index];
    // Name and label are what the index knows the entry by; a change of them re-indexes it.
    bool renamed = entry.key != old.key;
    entry.nextSameKey = old.nextSameKey;
    m_listBytes[indexOf(list)] -= old.length;
    leaveText(list, old);
    // Its new text goes to the end, out of the list's order.
    m_textInOrder[indexOf(list)] = false;
    placeText(list, entry, row);
    m_listBytes[indexOf(list)] += entry.length;
    old = std::move(entry);
    if (renamed)
        reindexEvents();
    tidyText(list);
}

void TalmerinMobStatLogStore::eraseInMemory(List list, std::size_t index)
{
    auto& entries = m_lists[indexOf(list)];
    m_listBytes[indexOf(list)] -= entries[index].length;
    leaveText(list, entries[index]);
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(index));
    // Never done on the hot path: events are only ever cleared with their log.
    if (list == List::Events)
        reindexEvents();
    tidyText(list);
}

void TalmerinMobStatLogStore::placeText(List list, Entry& entry, const Row& row)
{
    if (!row.isText) {
        entry.length = 0;
        ++m_valuesOnly[indexOf(list)];
        return;
    }
    std::string& text = m_texts[indexOf(list)];
    if (!text.empty())
        text += ',';
    entry.offset = text.size();
    entry.length = row.text.size();
    text += row.text;
}

void TalmerinMobStatLogStore::leaveText(List list, const Entry& entry)
{
    if (entry.value) {
        --m_valuesOnly[indexOf(list)];
        return;
    }
    m_leftBehind[indexOf(list)] += entry.length + 1;
    m_textInOrder[indexOf(list)] = false;
}

void TalmerinMobStatLogStore::tidyText(List list)
{
    auto& entries = m_lists[indexOf(list)];
    std::string& text = m_texts[indexOf(list)];
    std::size_t& leftBehind = m_leftBehind[indexOf(list)];
    if (entries.empty()) {
        std::string().swap(text);
        leftBehind = 0;
        m_textInOrder[indexOf(list)] = true;
        return;
    }
    // Each byte in use is copied again only after as many have been left behind since the
    // last time, so a change costs the same on average whatever the log holds.
    if (leftBehind <= kTextSlack || leftBehind <= m_listBytes[indexOf(list)])
        return;
    std::string tidied;
    tidied.reserve(m_listBytes[indexOf(list)] + entries.size());
    for (Entry& entry : entries) {
        if (entry.value)
            continue;
        if (!tidied.empty())
            tidied += ',';
        std::size_t offset = tidied.size();
        tidied.append(text, entry.offset, entry.length);
        entry.offset = offset;
    }
    text = std::move(tidied);
    leftBehind = 0;
    m_textInOrder[indexOf(list)] = true;
}

void TalmerinMobStatLogStore::indexEvent(Entry& entry, std::size_t index)
{
    entry.nextSameKey = kNone;
    auto [found, added] = m_eventIndex.try_emplace(entry.key, EventRange { index, index });
    if (added)
        return;
    EventRange& range = found->second;
    // The last one so far is already in the list, whether `entry` is yet or not.
    m_lists[indexOf(List::Events)][range.last].nextSameKey = index;
    range.last = index;
}

void TalmerinMobStatLogStore::reindexEvents()
{
    auto& events = m_lists[indexOf(List::Events)];
    m_eventIndex.clear();
    for (std::size_t i = 0; i < events.size(); ++i)
        indexEvent(events[i], i);
}

void TalmerinMobStatLogStore::resetInMemory()
{
    for (List list : kLists) {
        m_lists[indexOf(list)].clear();
        m_listBytes[indexOf(list)] = 0;
        std::string().swap(m_texts[indexOf(list)]);
        m_leftBehind[indexOf(list)] = 0;
        m_valuesOnly[indexOf(list)] = 0;
        m_textInOrder[indexOf(list)] = true;
    }
    m_eventIndex.clear();
}

long long TalmerinMobStatLogStore::firstFreePosition(List list) const
{
    const auto& kept = m_keptRows[indexOf(list)];
    return kept.empty() ? 0 : kept.back() + 1;
}

long long TalmerinMobStatLogStore::nextPosition(List list) const
{
    const auto& entries = m_lists[indexOf(list)];
    return entries.empty() ? firstFreePosition(list) : std::max(firstFreePosition(list), entries.back().position + 1);
}

Dictionary TalmerinMobStatLogStore::currentLog() const
{
    std::lock_guard lock(m_mutex);
    Dictionary log;
    for (List list : kLists) {
        Array items;
        items.reserve(m_lists[indexOf(list)].size());
        for (const Entry& entry : m_lists[indexOf(list)])
            items.push_back(valueOf(list, entry));
        log.set(keyOf(list), Value(std::move(items)));
    }
    return log;
}

std::size_t TalmerinMobStatLogStore::currentLogBytes() const
{
    std::lock_guard lock(m_mutex);
    // {"ev":[...],"ex":[...],"pr":[...]}
    std::size_t bytes = 2;
    for (List list : kLists)
        bytes += 5 + listJsonBytes(m_lists[indexOf(list)].size(), m_listBytes[indexOf(list)]);
    return bytes + 2;
}

std::size_t TalmerinMobStatLogStore::count(List list) const
{
    std::lock_guard lock(m_mutex);
    return m_lists[indexOf(list)].size();
}

std::size_t TalmerinMobStatLogStore::listBytes(List list) const
{
    std::lock_guard lock(m_mutex);
    return listJsonBytes(m_lists[indexOf(list)].size(), m_listBytes[indexOf(list)]);
}

std::optional<std::size_t> TalmerinMobStatLogStore::sessionIndex(const std::string& id) const
{
    const auto& sessions = m_lists[indexOf(List::Sessions)];
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        if (sessions[i].sessionId && *sessions[i].sessionId == id)
            return i;
    }
    return std::nullopt;
}

std::optional<Dictionary> TalmerinMobStatLogStore::session(const std::string& id) const
{
    std::lock_guard lock(m_mutex);
    auto index = sessionIndex(id);
    if (!index)
        return std::nullopt;
    return *valueOf(List::Sessions, m_lists[indexOf(List::Sessions)][*index]).asDictionary();
}

std::optional<std::size_t> TalmerinMobStatLogStore::findEvent(const Value& id, const Value& label,
    const std::function<bool(const Value&)>& accept) const
{
    std::lock_guard lock(m_mutex);
    auto indexed = m_eventIndex.find(std::hash<std::string> {}(eventKey(id, label)));
    if (indexed == m_eventIndex.end())
        return std::nullopt;
    const EventRange* found = &indexed->second;
    // An entry read back holds its texts as its JSON wrote them, stray bytes shown as "\xHH".
    auto written = [](const Value& value) {
        const std::string* text = value.asString();
        return text ? Value(pf::TextEncoding::withEscapedBytes(*text)) : value;
    };
    const Value writtenId = written(id), writtenLabel = written(label);
    const auto& events = m_lists[indexOf(List::Events)];
    for (std::size_t index = found->first; index != kNone; index = events[index].nextSameKey) {
        Value entry = valueOf(List::Events, events[index]);
        if (entry["i"] == writtenId && entry["l"] == writtenLabel && accept(entry))
            return index;
    }
    return std::nullopt;
}

Value TalmerinMobStatLogStore::entry(List list, std::size_t index) const
{
    std::lock_guard lock(m_mutex);
    return valueOf(list, m_lists[indexOf(list)].at(index));
}

bool TalmerinMobStatLogStore::append(List list, const Dictionary& entry, bool dropFirst, const std::string& source)
{
    std::lock_guard lock(m_mutex);
    Value value(entry);
    std::optional<Row> row = encodeOrRefuse(value);
    if (!row)
        return false;
    long long position = nextPosition(list);
    const auto& entries = m_lists[indexOf(list)];
    bool drop = dropFirst && !entries.empty();
    long long first = drop ? entries.front().position : 0;
    bool stored = transaction("add a log entry", [&](SQLite::Database& db) {
        if (drop)
            deleteCurrentRow(list, first);
        insertRow(db, 0, list, position, *row);
        if (!source.empty())
            noteImport(db, source);
    });
    if (!stored)
        return false;
    if (drop)
        eraseInMemory(list, 0);
    appendInMemory(list, entryOf(list, std::move(value), position, *row), *row);
    return true;
}

void TalmerinMobStatLogStore::replace(List list, std::size_t index, const Dictionary& entry)
{
    std::lock_guard lock(m_mutex);
    auto& entries = m_lists[indexOf(list)];
    if (index >= entries.size())
        return;
    Value value(entry);
    std::optional<Row> row = encodeOrRefuse(value);
    if (!row)
        return;
    long long position = entries[index].position;
    bool stored = transaction("change a log entry", [&](SQLite::Database&) {
        runReused("UPDATE current SET entry = ? WHERE list = ? AND position = ?", [&](SQLite::Statement& update) {
            bindRow(update, 1, *row);
            update.bindNoCopy(2, keyOf(list));
            update.bind(3, static_cast<int64_t>(position));
        });
    });
    if (!stored)
        return;
    replaceInMemory(list, index, entryOf(list, std::move(value), position, *row), *row);
}

void TalmerinMobStatLogStore::putSession(const std::string& id, const Dictionary& session)
{
    std::lock_guard lock(m_mutex);
    auto old = sessionIndex(id);
    long long oldPosition = old ? m_lists[indexOf(List::Sessions)][*old].position : 0;
    Value value(session);
    std::optional<Row> row = encodeOrRefuse(value);
    if (!row)
        return;
    long long position = nextPosition(List::Sessions);
    bool stored = transaction("store a session", [&](SQLite::Database& db) {
        if (old)
            deleteCurrentRow(List::Sessions, oldPosition);
        insertRow(db, 0, List::Sessions, position, *row);
    });
    if (!stored)
        return;
    if (old)
        eraseInMemory(List::Sessions, *old);
    appendInMemory(List::Sessions, entryOf(List::Sessions, std::move(value), position, *row), *row);
}

void TalmerinMobStatLogStore::splitWithSession(const std::string& id, const Dictionary& session, std::size_t maxArchived)
{
    std::lock_guard lock(m_mutex);
    auto old = sessionIndex(id);
    long long oldPosition = old ? m_lists[indexOf(List::Sessions)][*old].position : 0;
    Value value(session);
    std::optional<Row> row = encodeOrRefuse(value);
    if (!row)
        return;
    // The new log starts after the rows left as they were, which stay where they are.
    long long position = firstFreePosition(List::Sessions);
    long long number = m_archive.empty() ? 1 : m_archive.back() + 1;
    std::vector<long long> archive = m_archive;
    archive.push_back(number);
    std::vector<long long> dropped;
    while (archive.size() > maxArchived) {
        dropped.push_back(archive.front());
        archive.erase(archive.begin());
    }
    bool stored = transaction("archive the log", [&](SQLite::Database& db) {
        if (old)
            deleteCurrentRow(List::Sessions, oldPosition);
        SQLite::Statement add(db, "INSERT INTO logs(id) VALUES(?)");
        add.bind(1, static_cast<int64_t>(number));
        add.exec();
        SQLite::Statement move(db, "INSERT INTO archive(log, list, position, entry) SELECT ?, list, position, entry FROM current" + ownRows());
        move.bind(1, static_cast<int64_t>(number));
        move.exec();
        db.exec("DELETE FROM current" + ownRows());
        for (long long gone : dropped)
            deleteArchivedLog(db, gone);
        insertRow(db, 0, List::Sessions, position, *row);
    });
    if (!stored)
        return;
    m_archive = std::move(archive);
    resetInMemory();
    appendInMemory(List::Sessions, entryOf(List::Sessions, std::move(value), position, *row), *row);
}

void TalmerinMobStatLogStore::clearCurrentLog(const std::vector<std::pair<std::string, double>>& numbers)
{
    std::lock_guard lock(m_mutex);
    bool stored = transaction("clear the log", [&](SQLite::Database&) {
        runReused("DELETE FROM current" + ownRows());
        for (const auto& [key, value] : numbers)
            writeNumber(key, value);
    });
    if (!stored)
        return;
    resetInMemory();
    for (const auto& [key, value] : numbers)
        m_numbers[key] = value;
}

std::vector<TalmerinMobStatLogStore::ArchivedLog> TalmerinMobStatLogStore::archivedLogs()
{
    std::lock_guard lock(m_mutex);
    std::vector<ArchivedLog> logs;
    // Every send asks; without an archived log there is no statement to make.
    if (!m_db || m_archive.empty())
        return logs;
    try {
        SQLite::Statement query(*m_db, "SELECT list, entry FROM archive WHERE log = ? ORDER BY list, position");
        for (long long number : m_archive) {
            query.reset();
            query.bind(1, static_cast<int64_t>(number));
            Array lists[3];
            std::size_t total = 0;
            std::size_t unreadable = 0;
            while (query.executeStep()) {
                auto list = listNamed(query.getColumn(0).getString());
                total += static_cast<std::size_t>(query.getColumn(1).getBytes());
                if (!list || total > kMaxCurrentLogBytes)
                    continue;
                if (auto value = decode(query, 1))
                    lists[indexOf(*list)].push_back(std::move(*value));
                else
                    ++unreadable;
            }
            if (unreadable)
                pf::Log::format("TalmerinMobStat: archived log %lld holds %zu entries this version cannot read; they are left "
                                "out of its upload", number, unreadable);
            Dictionary log;
            for (List list : kLists)
                log.set(keyOf(list), Value(std::move(lists[indexOf(list)])));
            logs.push_back(ArchivedLog { number, std::move(log) });
        }
    } catch (const std::exception& e) {
        pf::Log::format("TalmerinMobStat: the archived logs cannot be read: %s", e.what());
    }
    return logs;
}

std::size_t TalmerinMobStatLogStore::archivedLogCount() const
{
    std::lock_guard lock(m_mutex);
    return m_archive.size();
}

void TalmerinMobStatLogStore::removeArchivedLog(long long number)
{
    std::lock_guard lock(m_mutex);
    bool stored = transaction("remove an archived log", [&](SQLite::Database& db) { deleteArchivedLog(db, number); });
    if (stored)
        std::erase(m_archive, number);
}

void TalmerinMobStatLogStore::dropOldestArchivedLogs(std::size_t keep)
{
    std::vector<long long> dropped;
    {
        std::lock_guard lock(m_mutex);
        if (m_archive.size() <= keep)
            return;
        dropped.assign(m_archive.begin(), m_archive.end() - static_cast<std::ptrdiff_t>(keep));
    }
    for (long long number : dropped)
        removeArchivedLog(number);
}

void TalmerinMobStatLogStore::noteImport(SQLite::Database& db, const std::string& source)
{
    SQLite::Statement done(db, "INSERT OR REPLACE INTO imports(source) VALUES(?)");
    done.bind(1, source);
    done.exec();
}

bool TalmerinMobStatLogStore::imported(const std::string& source) const
{
    std::lock_guard lock(m_mutex);
    if (!m_db)
        return false;
    try {
        SQLite::Statement query(*m_db, "SELECT 1 FROM imports WHERE source = ?");
        query.bind(1, source);
        return query.executeStep();
    } catch (const std::exception& e) {
        pf::Log::format("TalmerinMobStat: the log store cannot be read: %s", e.what());
        return false;
    }
}

bool TalmerinMobStatLogStore::importLogs(const std::vector<std::string>& sources, const Value& current, const Array& archive)
{
    std::lock_guard lock(m_mutex);
    struct Pending {
        List list;
        Entry entry;
        Row row;
    };
    std::vector<Pending> pending;
    long long positions[3];
    for (List list : kLists)
        positions[indexOf(list)] = nextPosition(list);
    std::vector<long long> numbers = m_archive;
    bool stored = transaction("take in the earlier log", [&](SQLite::Database& db) {
        auto rowsOf = [&](const Value& log, long long number, long long* next) {
            for (List list : kLists) {
                const Array* items = log[keyOf(list)].asArray();
                if (!items)
                    continue;
                for (const Value& item : *items) {
                    if (!item.isDictionary())
                        continue;
                    // Nothing is taken in then: the earlier log stays where it is.
                    std::optional<Row> row = encode(item);
                    if (!row)
                        throw std::runtime_error("an entry cannot be written whole");
                    long long position = next[indexOf(list)]++;
                    insertRow(db, number, list, position, *row);
                    if (number == 0)
                        pending.push_back(Pending { list, entryOf(list, item, position, *row), std::move(*row) });
                }
            }
        };
        for (const Value& log : archive) {
            long long number = numbers.empty() ? 1 : numbers.back() + 1;
            SQLite::Statement add(db, "INSERT INTO logs(id) VALUES(?)");
            add.bind(1, static_cast<int64_t>(number));
            add.exec();
            long long next[3] = { 0, 0, 0 };
            rowsOf(log, number, next);
            numbers.push_back(number);
        }
        rowsOf(current, 0, positions);
        for (const std::string& source : sources)
            noteImport(db, source);
    });
    if (!stored)
        return false;
    m_archive = std::move(numbers);
    for (Pending& item : pending)
        appendInMemory(item.list, std::move(item.entry), item.row);
    return true;
}

std::optional<std::string> TalmerinMobStatLogStore::currentLogJson(std::size_t room) const
{
    std::lock_guard lock(m_mutex);
    std::string json;
    json.reserve(2 + 3 * 8 + m_listBytes[0] + m_listBytes[1] + m_listBytes[2] + m_lists[0].size() + m_lists[1].size() + m_lists[2].size() + room);
    json += '{';
    for (List list : kLists) {
        if (list != List::Events)
            json += ',';
        json += '"';
        json += keyOf(list);
        json += "\":[";
        if (m_valuesOnly[indexOf(list)])
            return std::nullopt;
        if (m_textInOrder[indexOf(list)]) {
            json += m_texts[indexOf(list)];
        } else {
            bool first = true;
            for (const Entry& entry : m_lists[indexOf(list)]) {
                if (!first)
                    json += ',';
                json += textOf(list, entry);
                first = false;
            }
        }
        json += ']';
    }
    json += '}';
    return json;
}

void TalmerinMobStatLogStore::loadNumbers()
{
    m_numbers.clear();
    SQLite::Statement query(*m_db, "SELECT key, value FROM settings");
    while (query.executeStep()) {
        SQLite::Column value = query.getColumn(1);
        if (value.isInteger() || value.isFloat())
            m_numbers[query.getColumn(0).getString()] = value.getDouble();
    }
}

std::optional<double> TalmerinMobStatLogStore::number(const std::string& key) const
{
    std::lock_guard lock(m_mutex);
    auto found = m_numbers.find(key);
    if (found == m_numbers.end())
        return std::nullopt;
    return found->second;
}

void TalmerinMobStatLogStore::writeNumber(const std::string& key, double value)
{
    runReused("INSERT OR REPLACE INTO settings(key, value) VALUES(?, ?)", [&](SQLite::Statement& update) {
        update.bind(1, key);
        update.bind(2, value);
    });
}

void TalmerinMobStatLogStore::setNumberLater(const std::string& key, double value)
{
    std::lock_guard lock(m_mutex);
    m_numbers[key] = value;
    m_pendingNumbers[key] = value;
}

void TalmerinMobStatLogStore::flushNumbers()
{
    std::lock_guard lock(m_mutex);
    if (!m_pendingNumbers.empty())
        transaction("keep a setting", [](SQLite::Database&) { });
}

void TalmerinMobStatLogStore::setNumber(const std::string& key, double value)
{
    std::lock_guard lock(m_mutex);
    if (transaction("keep a setting", [&](SQLite::Database&) { writeNumber(key, value); }))
        m_numbers[key] = value;
}
