#include "platform/foundation/UserDefaults.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/TextEncoding.h"

namespace pf {

namespace {
std::mutex g_standardMutex;
std::shared_ptr<UserDefaults> g_standard;
}

std::shared_ptr<UserDefaults> UserDefaults::standard()
{
    std::lock_guard lock(g_standardMutex);
    if (!g_standard) {
        std::string identifier = Bundle::main()->bundleIdentifier();
        if (identifier.empty())
            identifier = "app";
        std::string path = FileManager::join(Sandbox::current()->preferencesPath(), identifier + ".plist");
        g_standard = std::make_shared<UserDefaults>(path);
        // What the system itself answers for every app.
        g_standard->registerDefaults(Dictionary { { "AppleLanguages", Value(Array { "zh-Hans", "en" }) } });
    }
    return g_standard;
}

void UserDefaults::resetStandard()
{
    std::shared_ptr<UserDefaults> old;
    std::lock_guard lock(g_standardMutex);
    old = std::move(g_standard);
}

UserDefaults::UserDefaults(std::string path)
    : m_path(std::move(path))
{
    load();
}

void UserDefaults::load()
{
    // What a write killed part-way left goes at the launch after it, not only at the next write
    // (a launch may change no setting). A write of this process under way is never taken.
    FileManager::removeLeftoverTemporaries(m_path);
    if (!FileManager::exists(m_path))
        return;
    std::string error = "cannot read the file";
    size_t leftOut = 0;
    std::optional<Value> value;
    if (auto bytes = FileManager::read(m_path))
        value = PropertyList::parseEntries(*bytes, 1, &leftOut, &error);
    if (value && value->asDictionary()) {
        m_values = *value->asDictionary();
        // Settings that do not read are kept in a copy set aside before the next save leaves them
        // out. Until that copy is made (a full disk) the file is not written: every setting that
        // reads stays live, in memory and in the file.
        if (leftOut > 0) {
            std::string copyError;
            m_copyPending = !FileManager::setAsideCopy(m_path, &copyError);
            Log::format("UserDefaults: %zu settings of %s do not read (%s); %s%s", leftOut, m_path.c_str(), error.c_str(),
                m_copyPending ? "the file stays as it is until a copy of it can be set aside: " : "a copy of the file is set aside",
                m_copyPending ? copyError.c_str() : "");
        }
        return;
    }
    Log::format("UserDefaults: %s is unreadable (%s); starting empty", m_path.c_str(), !value ? error.c_str() : "not a dictionary");
    FileManager::setAside(m_path);
}

bool UserDefaults::save()
{
    std::string error;
    if (m_copyPending) {
        if (FileManager::exists(m_path) && !FileManager::setAsideCopy(m_path, &error)) {
            Log::format("UserDefaults: not writing %s before a copy of it is set aside: %s", m_path.c_str(), error.c_str());
            return false;
        }
        m_copyPending = false;
    }
    size_t slash = m_path.rfind('/');
    if (slash != std::string::npos && slash > 0)
        FileManager::createDirectory(m_path.substr(0, slash), true);
    if (!PropertyList::writeFile(m_path, Value(m_values), PropertyList::Format::Binary, &error)) {
        Log::format("UserDefaults: cannot write %s: %s", m_path.c_str(), error.c_str());
        return false;
    }
    return true;
}

Value UserDefaults::objectForKey(const std::string& key) const
{
    std::lock_guard lock(m_mutex);
    if (const Value* v = m_values.find(key))
        return *v;
    if (const Value* v = m_registered.find(key))
        return *v;
    return Value();
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const
{
    Value v = objectForKey(key);
    if (v.isString() || v.isNumber())
        return v.stringValue();
    return std::nullopt;
}

bool UserDefaults::boolForKey(const std::string& key) const { return objectForKey(key).boolValue(); }
long long UserDefaults::integerForKey(const std::string& key) const { return objectForKey(key).longValue(); }
double UserDefaults::doubleForKey(const std::string& key) const { return objectForKey(key).doubleValue(); }
std::optional<Date> UserDefaults::dateForKey(const std::string& key) const { return objectForKey(key).asDate(); }

std::optional<Bytes> UserDefaults::dataForKey(const std::string& key) const
{
    Value v = objectForKey(key);
    if (const Bytes* d = v.asData())
        return *d;
    return std::nullopt;
}

std::optional<Array> UserDefaults::arrayForKey(const std::string& key) const
{
    Value v = objectForKey(key);
    if (const Array* a = v.asArray())
        return *a;
    return std::nullopt;
}

std::optional<Dictionary> UserDefaults::dictionaryForKey(const std::string& key) const
{
    Value v = objectForKey(key);
    if (const Dictionary* d = v.asDictionary())
        return *d;
    return std::nullopt;
}

void UserDefaults::setObject(const std::string& key, Value value)
{
    if (value.isNone()) {
        removeObjectForKey(key);
        return;
    }
    std::string error;
    if (!TextEncoding::isNulFreeUtf8(key))
        error = "the key is not UTF-8 or holds a NUL character";
    if (!error.empty() || !PropertyList::write(value, PropertyList::Format::Binary, &error)) {
        // A value the file could not hold would make every later save fail; refuse it alone.
        Log::format("UserDefaults: refusing a value for \"%s\": %s", key.c_str(), error.c_str());
        return;
    }
    std::lock_guard lock(m_mutex);
    m_values.set(key, std::move(value));
    save();
}

void UserDefaults::removeObjectForKey(const std::string& key)
{
    std::lock_guard lock(m_mutex);
    if (m_values.remove(key))
        save();
}

void UserDefaults::removeObjectsForKeys(const std::vector<std::string>& keys)
{
    std::lock_guard lock(m_mutex);
    bool removed = false;
    for (const auto& key : keys)
        removed = m_values.remove(key) || removed;
    if (removed)
        save();
}

void UserDefaults::registerDefaults(const Dictionary& defaults)
{
    std::lock_guard lock(m_mutex);
    for (const auto& [key, value] : defaults)
        m_registered.set(key, value);
}

Dictionary UserDefaults::dictionaryRepresentation() const
{
    std::lock_guard lock(m_mutex);
    Dictionary out = m_registered;
    for (const auto& [key, value] : m_values)
        out.set(key, value);
    return out;
}

bool UserDefaults::synchronize()
{
    std::lock_guard lock(m_mutex);
    return save();
}

}
