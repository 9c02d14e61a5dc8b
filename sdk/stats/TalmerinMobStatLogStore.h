#pragma once

#include "platform/foundation/Value.h"

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace SQLite {
class Database;
class Statement;
}

// The statistics log on disk: a SQLite file (by default "TalmerinMobStatLog.sqlite" in the
// sandbox's Library folder) with one row per entry of a log, so a change writes only the rows
// it touches, whatever the log already holds.
//
// A log is the dictionary {"ev": [...], "ex": [...], "pr": [...]} of events, exception entries
// and sessions. The current log has a table of its own; archived logs are listed under growing
// numbers, the oldest first (an archived log may hold no entries at all), their entries in one
// table. A few numbers the log's upload keeps (last send time, sent index) sit beside them.
//
// Rules:
// - Each operation is one transaction, so a process killed half-way leaves the file as it was
//   before it. The file runs in WAL mode with synchronous=NORMAL: a crash of the app loses
//   nothing committed; a power cut may lose the last changes, never the file.
// - The current log is also kept in memory, each entry as its JSON text, with the running
//   JSON size and an index of events by name and label, so no change reads or rewrites the
//   whole log and its upload text is put together without converting it again. Archived logs
//   are read from disk when asked for.
// - A row holds the entry's JSON (the upload's own text, in which a byte of a text that is no
//   part of a character is shown as "\xHH"); an entry that JSON cannot hold (data, dates, NaN)
//   is kept as a keyed archive instead. An entry neither can hold (one with data or a date
//   whose texts are not UTF-8 or hold a NUL, which the archive refuses) is refused with a log
//   line.
// - What is read back is checked. Rows of a list this version does not know (a newer
//   version's), and rows of its own lists that it cannot read (too large, another encoding,
//   not a dictionary) or has no room for, are logged once and left as they are, in their
//   places: never sent, and a split or a clear moves and removes only the rows it holds in
//   memory (the whole table when that is all of them). A file that is not a database, or whose tables
//   have another shape, is logged and moved aside with its journals (".corrupt", then
//   ".corrupt-2" and on: each damaged store is kept) and a blank store is made; if
//   even that fails (or the file cannot be opened at all), the log lives in an in-memory
//   database until the next launch.
// - One mutex guards every operation; none waits for anything but the disk.
class TalmerinMobStatLogStore {
public:
    enum class List { Events, Exceptions, Sessions };
    static constexpr const char* kFileName = "TalmerinMobStatLog.sqlite";
    // The longest row read back, and the most of the current log read back in all.
    static constexpr std::size_t kMaxEntryBytes = 4u << 20;
    static constexpr std::size_t kMaxCurrentLogBytes = 16u << 20;

    // Opens (or makes) the store at `path`, reading the current log into memory.
    explicit TalmerinMobStatLogStore(std::string path);
    ~TalmerinMobStatLogStore();
    TalmerinMobStatLogStore(const TalmerinMobStatLogStore&) = delete;
    TalmerinMobStatLogStore& operator=(const TalmerinMobStatLogStore&) = delete;

    // The store of the current sandbox.
    static std::string defaultPath();
    static const char* keyOf(List list);

    const std::string& path() const { return m_path; }
    // Whether the file is in use (false: the log lives in memory until the next launch).
    bool persistent() const;

    // The current log, and its JSON put together from the entries' texts (nullopt when an
    // entry cannot be written as JSON). `room` is capacity kept free after the text, so what
    // a caller appends (an upload's header) never moves the whole log.
    pf::Dictionary currentLog() const;
    std::optional<std::string> currentLogJson(std::size_t room = 0) const;
    std::size_t currentLogBytes() const;
    std::size_t count(List list) const;
    // Bytes of the JSON of one list of the current log ("[...]").
    std::size_t listBytes(List list) const;
    std::optional<pf::Dictionary> session(const std::string& id) const;
    // The first event whose "i" and "l" equal the given ones and that `accept` takes.
    std::optional<std::size_t> findEvent(const pf::Value& id, const pf::Value& label,
        const std::function<bool(const pf::Value&)>& accept) const;
    pf::Value entry(List list, std::size_t index) const;

    // Changes of the current log. `append` answers whether the change was committed; a
    // non-empty `source` is noted as taken in (`imported`) in the same transaction.
    bool append(List list, const pf::Dictionary& entry, bool dropFirst = false, const std::string& source = {});
    void replace(List list, std::size_t index, const pf::Dictionary& entry);
    // Removes the session of that id, if any, and appends `session`.
    void putSession(const std::string& id, const pf::Dictionary& session);
    // Removes the session of that id, if any, moves the current log to the archive (dropping
    // the oldest archived logs beyond `maxArchived`) and starts a log holding only `session`.
    void splitWithSession(const std::string& id, const pf::Dictionary& session, std::size_t maxArchived);
    // Empties the current log, setting `numbers` in the same transaction.
    void clearCurrentLog(const std::vector<std::pair<std::string, double>>& numbers = {});

    // The archive, oldest first, with each log's number.
    struct ArchivedLog {
        long long number;
        pf::Dictionary log;
    };
    std::vector<ArchivedLog> archivedLogs();
    std::size_t archivedLogCount() const;
    void removeArchivedLog(long long number);
    void dropOldestArchivedLogs(std::size_t keep);

    // Whether what `source` names was taken in (by `importLogs` or `append`).
    bool imported(const std::string& source) const;

    // Numbers kept beside the log (absent when never set or not a number).
    std::optional<double> number(const std::string& key) const;
    void setNumber(const std::string& key, double value);
    // Read back at once, written with the next change (or by `flushNumbers`).
    void setNumberLater(const std::string& key, double value);
    void flushNumbers();
    // Adds logs from elsewhere (an earlier version's storage): `archive` goes after the
    // archived logs, `current`'s entries after the current log's. Entries that are not
    // dictionaries are skipped. Every one of `sources` is noted in the same transaction, so a
    // process killed after it cannot take the same logs in twice.
    bool importLogs(const std::vector<std::string>& sources, const pf::Value& current, const pf::Array& archive);

private:
    // An entry in memory is its JSON text, kept in its list's text (`m_texts`); only one that
    // JSON cannot hold keeps its value instead.
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    struct Entry {
        long long position { 0 };
        std::size_t offset { 0 }; // of its JSON in its list's text
        std::size_t length { 0 }; // of its JSON; 0 when `value` holds the entry
        std::optional<pf::Value> value;
        std::size_t key { 0 };                // events: the hash of eventKey
        std::size_t nextSameKey { kNone };    // events: the next one with the same key
        std::optional<std::string> sessionId; // sessions: their "i", when a text
    };
    struct Row {
        std::string text;
        pf::Bytes blob;
        bool isText { true };
    };
    // Events by name and label (the hash of eventKey): the first and last of their indexes in
    // "ev", the rest chained through the entries.
    struct EventRange {
        std::size_t first;
        std::size_t last;
    };

    void open();
    void openFile(const std::string& path);
    void createSchema();
    void loadCurrentLog();
    void loadArchiveNumbers();
    void loadNumbers();
    void writeNumber(const std::string& key, double value);
    // Decodes one stored entry; nullopt when this version cannot read it.
    std::optional<pf::Value> decode(const SQLite::Statement& query, int column) const;
    // The row of an entry; nullopt when neither JSON nor a keyed archive holds it as it is.
    static std::optional<Row> encode(const pf::Value& entry);
    // The same, with a log line for the entry refused.
    static std::optional<Row> encodeOrRefuse(const pf::Value& entry);
    // The condition picking the current log's rows this version holds in memory (empty when
    // that is every row).
    std::string ownRows() const;
    // The entry of a row (its text goes into the list's text when it is placed there).
    static Entry entryOf(List list, pf::Value value, long long position, const Row& row);
    pf::Value valueOf(List list, const Entry& entry) const;
    std::string_view textOf(List list, const Entry& entry) const;
    void bindRow(SQLite::Statement& statement, int index, const Row& row);
    // Runs `work` as one transaction; false (and a log line) when the disk refused it.
    bool transaction(const char* what, const std::function<void(SQLite::Database&)>& work);
    // Runs one of the statements every put or send repeats, prepared once for the connection;
    // `bind` sets its parameters.
    void runReused(const std::string& sql, const std::function<void(SQLite::Statement&)>& bind = {});
    // Lets the connection go, with the statements prepared for it.
    void closeDatabase();
    void insertRow(SQLite::Database& db, long long log, List list, long long position, const Row& row);
    void deleteCurrentRow(List list, long long position);
    static void deleteArchivedLog(SQLite::Database& db, long long number);
    static void noteImport(SQLite::Database& db, const std::string& source);
    void appendInMemory(List list, Entry entry, const Row& row);
    void replaceInMemory(List list, std::size_t index, Entry entry, const Row& row);
    void eraseInMemory(List list, std::size_t index);
    // Puts a row's text at the end of its list's text and points the entry at it.
    void placeText(List list, Entry& entry, const Row& row);
    // Counts the text of an entry that leaves its place as left behind.
    void leaveText(List list, const Entry& entry);
    // Writes the list's text again in order once more of it is left behind than in use.
    void tidyText(List list);
    void resetInMemory();
    void reindexEvents();
    // Files the event at `index` of "ev" (there already, or about to be appended).
    void indexEvent(Entry& entry, std::size_t index);
    // Positions past the rows left as they were, which keep theirs.
    long long firstFreePosition(List list) const;
    long long nextPosition(List list) const;
    std::optional<std::size_t> sessionIndex(const std::string& id) const;
    static std::string eventKey(const pf::Value& id, const pf::Value& label);

    std::string m_path;
    mutable std::mutex m_mutex;
    std::unique_ptr<SQLite::Database> m_db;
    // Declared after the connection, so destroyed before it: it cannot close with them open.
    std::map<std::string, std::unique_ptr<SQLite::Statement>, std::less<>> m_reused;
    std::vector<Entry> m_lists[3];
    std::size_t m_listBytes[3] { 0, 0, 0 }; // sum of the entries' bytes
    // Each list's entries' JSON texts in one buffer, each after a comma, in the list's order as
    // long as nothing was replaced or removed: then (no bytes left behind, every entry a text)
    // the buffer is the list's JSON between its brackets, and a send copies it whole. A changed
    // entry's new text goes to the end and its old one is left behind; once more is left behind
    // than in use, the buffer is written again in order. One buffer rather than a string per
    // entry: a send of thousands of entries read them from all over the heap, and its clear
    // freed each of them.
    std::string m_texts[3];
    std::size_t m_leftBehind[3] { 0, 0, 0 }; // bytes of the texts no entry uses
    bool m_textInOrder[3] { true, true, true }; // the buffer holds the entries' texts in order, nothing else
    std::size_t m_valuesOnly[3] { 0, 0, 0 }; // entries that JSON cannot hold
    std::unordered_map<std::size_t, EventRange> m_eventIndex;
    std::map<std::string, double> m_numbers;
    std::map<std::string, double> m_pendingNumbers;
    std::vector<long long> m_archive;
    bool m_foreignRows { false }; // the current log holds rows of lists another version added
    // Positions of the rows of this version's lists that it could not read (another version's
    // encoding, not a dictionary, too large) or had no room for: left as they are, in order.
    std::vector<long long> m_keptRows[3];
};
