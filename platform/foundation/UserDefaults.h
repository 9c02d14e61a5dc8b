#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <mutex>
#include <optional>
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
// - A file that cannot be read as a dictionary is logged and treated as empty; the broken
//   file is set aside (`FileManager::setAside`) rather than silently overwritten. A setting
//   that does not read (a text or key that is not UTF-8 or holds a NUL) costs only itself: the
//   others are read, and a copy of the file is set aside first, since the next save leaves it
//   out. While that copy cannot be made (a full disk) the file is not written: the settings
//   work in memory, and each later save tries the copy again first.
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
    void load();
    bool save(); // with m_mutex held

    std::string m_path;
    mutable std::mutex m_mutex;
    Dictionary m_values;
    Dictionary m_registered;
    // The file holds settings that did not read, and no copy of it is set aside yet.
    bool m_copyPending = false;
};

}
