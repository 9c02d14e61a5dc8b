#include "platform/foundation/UserDefaults.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Crypto.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/TextEncoding.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    std::lock_guard lock(m_mutex);
    load();
}

namespace {

constexpr std::string_view kRemovalMark = ".removed-";

std::optional<std::string> fromHex(std::string_view hex)
{
    if (hex.empty() || hex.size() % 2 != 0)
        return std::nullopt;
    std::string out;
    for (size_t i = 0; i < hex.size(); i += 2) {
        auto digit = [](char c) -> int {
            if (c >= '0' && c <= '9')
                return c - '0';
            if (c >= 'a' && c <= 'f')
                return c - 'a' + 10;
            return -1;
        };
        int high = digit(hex[i]);
        int low = digit(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out.push_back(static_cast<char>(high * 16 + low));
    }
    return out;
}

}

std::string UserDefaults::removalMarkPath(const std::string& key) const
{
    return m_path + std::string(kRemovalMark) + Crypto::hex(Bytes(key.begin(), key.end()));
}

std::vector<std::string> UserDefaults::removalMarks() const
{
    std::vector<std::string> keys;
    size_t slash = m_path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : m_path.substr(0, slash);
    const std::string prefix = m_path.substr(slash == std::string::npos ? 0 : slash + 1) + std::string(kRemovalMark);
    for (const auto& name : FileManager::contentsOfDirectory(folder)) {
        if (!name.starts_with(prefix) || !FileManager::isOwnFile(FileManager::join(folder, name)))
            continue;
        if (auto key = fromHex(std::string_view(name).substr(prefix.size())))
            keys.push_back(std::move(*key));
    }
    return keys;
}

void UserDefaults::keepUnwrittenRemovals()
{
    // Only a file can hold the keys; a mark beside a folder would keep nothing.
    struct stat info {};
    if (m_removedSinceWrite.empty() || ::lstat(m_path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return;
    for (const auto& key : m_removedSinceWrite) {
        const std::string mark = removalMarkPath(key);
        if (FileManager::isOccupied(mark))
            continue;
        // An empty file: a full disk still takes a name.
        int fd = ::open(mark.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 || ::fsync(fd) != 0 || !FileManager::flushFolderOf(mark)) {
            Log::format("UserDefaults: the removal of \"%s\" cannot be kept beside %s (%s); the file still holds it", key.c_str(),
                m_path.c_str(), std::strerror(errno));
        } else {
            Log::format("UserDefaults: the removal of \"%s\" is kept beside %s until the file can be written", key.c_str(), m_path.c_str());
        }
        if (fd >= 0)
            ::close(fd);
    }
}

void UserDefaults::dropRemovalMarks()
{
    for (const auto& key : removalMarks())
        FileManager::removeFile(removalMarkPath(key));
}

UserDefaults::Stored UserDefaults::readStored(Dictionary& values, size_t& leftOut, std::string& reason) const
{
    auto file = FileManager::readFile(m_path);
    switch (file.outcome) {
    case FileManager::FileRead::Outcome::Missing:
        return Stored::Absent;
    case FileManager::FileRead::Outcome::NotAFile:
    case FileManager::FileRead::Outcome::Unreadable:
    case FileManager::FileRead::Outcome::TooLarge:
        reason = file.reason;
        return Stored::Unread;
    case FileManager::FileRead::Outcome::Read:
        break;
    }
    reason = "cannot read the file";
    leftOut = 0;
    auto value = PropertyList::parseEntries(file.bytes, 1, &leftOut, &reason);
    if (!value || !value->asDictionary()) {
        if (value)
            reason = "not a dictionary";
        return Stored::Damaged;
    }
    values = *value->asDictionary();
    return Stored::Values;
}

void UserDefaults::setAsideCopyOfPartlyRead(size_t leftOut, const std::string& reason)
{
    // Settings that do not read are kept in a copy set aside before the next save leaves them
    // out. Until that copy is made (a full disk) the file is not written: every setting that
    // reads stays live, in memory and in the file.
    if (leftOut == 0)
        return;
    std::string copyError;
    m_copyPending = !FileManager::setAsideCopy(m_path, &copyError);
    Log::format("UserDefaults: %zu settings of %s do not read (%s); %s%s", leftOut, m_path.c_str(), reason.c_str(),
        m_copyPending ? "the file stays as it is until a copy of it can be set aside: " : "a copy of the file is set aside",
        m_copyPending ? copyError.c_str() : "");
}

void UserDefaults::load()
{
    // What a write killed part-way left goes at the launch after it, not only at the next write
    // (a launch may change no setting). A write of this process under way is never taken.
    FileManager::removeLeftoverTemporaries(m_path);
    Dictionary stored;
    size_t leftOut = 0;
    std::string reason;
    const auto marks = removalMarks();
    switch (readStored(stored, leftOut, reason)) {
    case Stored::Absent:
        // Nothing holds the keys the marks kept out.
        dropRemovalMarks();
        return;
    case Stored::Unread:
        // Left where it is: a later save reads it again, and leaves the marked keys out then.
        m_unread = true;
        for (const auto& key : marks) {
            m_changesWhileUnread[key] = std::nullopt;
            m_removedSinceWrite.insert(key);
        }
        Log::format("UserDefaults: %s cannot be read now (%s); the settings start empty and the file is left as it is", m_path.c_str(),
            reason.c_str());
        return;
    case Stored::Damaged:
        Log::format("UserDefaults: %s is unreadable (%s); starting empty", m_path.c_str(), reason.c_str());
        FileManager::setAside(m_path);
        dropRemovalMarks();
        return;
    case Stored::Values:
        break;
    }
    m_values = std::move(stored);
    setAsideCopyOfPartlyRead(leftOut, reason);
    // Removals a full disk kept from the file: the keys stay out, and the file is written
    // without them as soon as it can be.
    bool removed = false;
    for (const auto& key : marks) {
        if (m_values.remove(key)) {
            removed = true;
            m_removedSinceWrite.insert(key);
        }
    }
    if (!removed)
        dropRemovalMarks();
    else
        save();
}

bool UserDefaults::takeInUnreadFile()
{
    Dictionary stored;
    size_t leftOut = 0;
    std::string reason;
    switch (readStored(stored, leftOut, reason)) {
    case Stored::Unread:
        return false;
    case Stored::Absent:
        break;
    case Stored::Damaged:
        Log::format("UserDefaults: %s reads now, but is unreadable (%s); it is set aside", m_path.c_str(), reason.c_str());
        FileManager::setAside(m_path);
        break;
    case Stored::Values:
        Log::format("UserDefaults: %s reads again; its settings are taken in", m_path.c_str());
        for (const auto& [key, value] : m_changesWhileUnread) {
            if (value)
                stored.set(key, *value);
            else
                stored.remove(key);
        }
        m_values = std::move(stored);
        setAsideCopyOfPartlyRead(leftOut, reason);
        break;
    }
    m_unread = false;
    m_changesWhileUnread.clear();
    return true;
}

bool UserDefaults::save()
{
    std::string error;
    // Never written over while it could not be read.
    if (m_unread && !takeInUnreadFile()) {
        keepUnwrittenRemovals();
        return false;
    }
    if (m_copyPending) {
        if (FileManager::exists(m_path) && !FileManager::setAsideCopy(m_path, &error)) {
            Log::format("UserDefaults: not writing %s before a copy of it is set aside: %s", m_path.c_str(), error.c_str());
            keepUnwrittenRemovals();
            return false;
        }
        m_copyPending = false;
    }
    size_t slash = m_path.rfind('/');
    if (slash != std::string::npos && slash > 0)
        FileManager::createDirectory(m_path.substr(0, slash), true);
    if (!PropertyList::writeFile(m_path, Value(m_values), PropertyList::Format::Binary, &error)) {
        if (error != m_lastWriteFailure)
            Log::format("UserDefaults: cannot write %s: %s", m_path.c_str(), error.c_str());
        m_lastWriteFailure = error;
        keepUnwrittenRemovals();
        return false;
    }
    if (!m_lastWriteFailure.empty())
        Log::format("UserDefaults: %s is written again", m_path.c_str());
    m_lastWriteFailure.clear();
    // The file holds what is in memory now: no removal is pending.
    if (!m_removedSinceWrite.empty()) {
        m_removedSinceWrite.clear();
        dropRemovalMarks();
    }
    return true;
}

void UserDefaults::change(const std::string& key, std::optional<Value> value)
{
    if (value)
        m_values.set(key, *value);
    else
        m_values.remove(key);
    if (!value)
        m_removedSinceWrite.insert(key);
    if (m_unread)
        m_changesWhileUnread[key] = std::move(value);
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

namespace {

// Why the file could not hold the value as it is; empty when it can.
std::string refusalOf(const std::string& key, const Value& value)
{
    std::string error;
    if (!TextEncoding::isNulFreeUtf8(key))
        return "the key is not UTF-8 or holds a NUL character";
    if (!PropertyList::write(value, PropertyList::Format::Binary, &error))
        return error.empty() ? "it cannot be written" : error;
    return {};
}

}

void UserDefaults::setObject(const std::string& key, Value value)
{
    if (value.isNone()) {
        removeObjectForKey(key);
        return;
    }
    if (std::string error = refusalOf(key, value); !error.empty()) {
        // A value the file could not hold would make every later save fail; refuse it alone.
        Log::format("UserDefaults: refusing a value for \"%s\": %s", key.c_str(), error.c_str());
        return;
    }
    std::lock_guard lock(m_mutex);
    change(key, std::move(value));
    save();
}

bool UserDefaults::setObjectIfWritten(const std::string& key, Value value)
{
    if (value.isNone())
        return false;
    if (std::string error = refusalOf(key, value); !error.empty()) {
        Log::format("UserDefaults: refusing a value for \"%s\": %s", key.c_str(), error.c_str());
        return false;
    }
    std::lock_guard lock(m_mutex);
    // A file read only now brings its value of the key first: that is what to put back.
    if (m_unread)
        takeInUnreadFile();
    // What to put back when the file does not take it.
    const Value* current = m_values.find(key);
    std::optional<Value> had = current ? std::optional<Value>(*current) : std::nullopt;
    auto unreadChange = m_changesWhileUnread.find(key);
    std::optional<std::optional<Value>> hadChange;
    if (unreadChange != m_changesWhileUnread.end())
        hadChange = unreadChange->second;
    change(key, std::move(value));
    if (save())
        return true;
    if (had)
        m_values.set(key, *had);
    else
        m_values.remove(key);
    if (hadChange)
        m_changesWhileUnread[key] = *hadChange;
    else
        m_changesWhileUnread.erase(key);
    return false;
}

void UserDefaults::removeObjectForKey(const std::string& key)
{
    removeObjectsForKeys({ key });
}

void UserDefaults::removeObjectsForKeys(const std::vector<std::string>& keys)
{
    std::lock_guard lock(m_mutex);
    bool removed = false;
    for (const auto& key : keys) {
        // While the file could not be read, it may hold the key: the removal is kept for it.
        if (m_values.contains(key) || m_unread) {
            change(key, std::nullopt);
            removed = true;
        }
    }
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
