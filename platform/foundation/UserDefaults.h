#pragma once

#include "platform/foundation/Value.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace pf {

// The app's persistent settings: a dictionary of property-list values stored as a binary
// property list "<bundle identifier>.plist" in the sandbox's Library/Preferences.
//
// Rules:
// - Thread-safe: any thread may read and write.
// - Every change is written through to the file atomically, so nothing is lost when the
//   process ends without `synchronize()`; `synchronize()` writes again and reports success.
// - A key has its stored value, else its registered default (`registerDefaults`, never
//   written to the file), else none.
// - Null or missing values cannot be stored: setting one removes the key. A value the file
//   cannot hold as it is (a text or key that is not UTF-8 or holds a NUL) is refused with a
//   log line, and the key keeps what it had.
// - A file that reads whole but is no dictionary is logged and treated as empty; the broken
//   file is set aside (`FileManager::setAside`) rather than silently overwritten. A setting
//   that does not read (a text or key that is not UTF-8 or holds a NUL) costs only itself: the
//   others are read, and a copy of the file is set aside first, since the next save leaves it
//   out. While that copy cannot be made (a full disk) the file is not written: the settings
//   work in memory, and each later save tries the copy again first.
// - A file that cannot be read now (the disk refused it at every try, a folder lies at its
//   name) is no damage: it is left where it is, untouched, said once in the log, and the
//   settings start empty in memory. Each later save reads it again first; once it reads, its
//   settings are taken in, under the changes made since, and the file is written. Until then
//   nothing is written over it.
// - A write that fails (a full disk) is logged with the system's reason, once until the reason
//   changes or a write passes; the values stay in memory and the next save writes them. A key
//   removed while its removal cannot be written (a sign-out on a full disk) is not found again:
//   an empty file beside the settings, "<file>.removed-<hex of the key>", which takes no room,
//   keeps the removal, and a launch that finds it leaves the key out and writes the file
//   without it; the mark goes once a write has passed.
// - `standard()` is bound to the current sandbox and the main bundle's identifier; after
//   `resetStandard()` the next call reads the file again (a new launch of the app).
class UserDefaults {
public:
    static std::shared_ptr<UserDefaults> standard();
    static void resetStandard();

    // Defaults backed by the given file (created on first write).
    explicit UserDefaults(std::string path);

    const std::string& path() const { return m_path; }

    Value objectForKey(const std::string& key) const;
    // Text for strings; numbers are given as their decimal text, as the platform does.
    std::optional<std::string> stringForKey(const std::string& key) const;
    bool boolForKey(const std::string& key) const;
    long long integerForKey(const std::string& key) const;
    double doubleForKey(const std::string& key) const;
    std::optional<Date> dateForKey(const std::string& key) const;
    std::optional<Bytes> dataForKey(const std::string& key) const;
    std::optional<Array> arrayForKey(const std::string& key) const;
    std::optional<Dictionary> dictionaryForKey(const std::string& key) const;

    void setObject(const std::string& key, Value value);
    // The same, but the value is kept only when the file takes it: when it cannot be written
    // (a full disk, a file that cannot be read now), the key keeps what it had, in memory as on
    // disk, and the answer is false. For a value that must not seem kept when it is not (a
    // sign-in's token).
    bool setObjectIfWritten(const std::string& key, Value value);
    void setString(const std::string& key, std::string value) { setObject(key, Value(std::move(value))); }
    void setBool(const std::string& key, bool value) { setObject(key, Value(value)); }
    void setInteger(const std::string& key, long long value) { setObject(key, Value(value)); }
    void setDouble(const std::string& key, double value) { setObject(key, Value(value)); }
    void setDate(const std::string& key, Date value) { setObject(key, Value(value)); }
    void setData(const std::string& key, Bytes value) { setObject(key, Value(std::move(value))); }
    void setArray(const std::string& key, Array value) { setObject(key, Value(std::move(value))); }
    void setDictionary(const std::string& key, Dictionary value) { setObject(key, Value(std::move(value))); }
    void removeObjectForKey(const std::string& key);
    // Removes every key given in one write of the file, so a process killed during it leaves
    // either all of them or none.
    void removeObjectsForKeys(const std::vector<std::string>& keys);

    void registerDefaults(const Dictionary& defaults);
    // Stored values over registered ones.
    Dictionary dictionaryRepresentation() const;
    bool synchronize();

private:
    enum class Stored { Absent, Values, Damaged, Unread };
    // Reads the file into `values`; with m_mutex held.
    Stored readStored(Dictionary& values, size_t& leftOut, std::string& reason) const;
    void load();
    // Takes in the file that could not be read before, under the changes made since; false
    // while it still cannot be read. With m_mutex held.
    bool takeInUnreadFile();
    // Sets a copy of a file with settings that did not read aside, or notes that it must be.
    void setAsideCopyOfPartlyRead(size_t leftOut, const std::string& reason);
    bool save(); // with m_mutex held
    void change(const std::string& key, std::optional<Value> value);
    // The marks of removals that could not be written: their keys.
    std::vector<std::string> removalMarks() const;
    std::string removalMarkPath(const std::string& key) const;
    void keepUnwrittenRemovals();
    void dropRemovalMarks();

    std::string m_path;
    mutable std::mutex m_mutex;
    Dictionary m_values;
    Dictionary m_registered;
    // The file holds settings that did not read, and no copy of it is set aside yet.
    bool m_copyPending = false;
    // The file could not be read (it is left as it is): the changes since, to be put over its
    // settings once it reads (a value, or none for a removal).
    bool m_unread = false;
    std::map<std::string, std::optional<Value>> m_changesWhileUnread;
    // Keys removed since the file was last written.
    std::set<std::string> m_removedSinceWrite;
    // The reason of the last write failure logged, until a write passes.
    std::string m_lastWriteFailure;
};

}
