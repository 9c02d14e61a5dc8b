#include "platform/foundation/Pasteboard.h"

#include "platform/foundation/Crypto.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/TextEncoding.h"
#include "platform/foundation/Url.h"

#include <mutex>

namespace pf {

namespace {

// One lock for the registry and every pasteboard: contents are small and calls are short.
std::recursive_mutex g_mutex;
std::map<std::string, std::shared_ptr<Pasteboard>> g_boards;

std::string folder()
{
    return FileManager::join(Sandbox::current()->libraryPath(), "Pasteboards");
}

// A type the saved file could not hold as given (not UTF-8, or holding a NUL) is refused where
// it is set, with a line, rather than leave the whole pasteboard unsaveable.
bool acceptableType(const std::string& name, const std::string& type)
{
    if (TextEncoding::isNulFreeUtf8(type))
        return true;
    Log::format("Pasteboard %s: a type that is not UTF-8 or holds a NUL is refused", name.c_str());
    return false;
}

void dropUnacceptableTypes(const std::string& name, std::vector<Pasteboard::Item>& items)
{
    for (auto& item : items)
        std::erase_if(item, [&](const auto& entry) { return !acceptableType(name, entry.first); });
}

}

Pasteboard::Pasteboard(std::string name)
    : m_name(std::move(name))
{
}

std::string Pasteboard::pathFor(const std::string& name)
{
    // Every character but letters, digits, "-" and "_" is escaped, dots and slashes included.
    return FileManager::join(folder(), Url::escape(name, "!*'();:@&=+$,/?#.~") + ".plist");
}

Pasteboard::Entry Pasteboard::entryOf(const Value& stored)
{
    Entry entry;
    const Dictionary* types = stored.asDictionary();
    if (!types) {
        entry.unread = stored;
        return entry;
    }
    Dictionary unread;
    for (const auto& [type, value] : *types) {
        if (const Bytes* bytes = value.asData())
            entry.item[type] = *bytes;
        else
            unread.set(type, value);
    }
    if (!unread.empty())
        entry.unread = Value(std::move(unread));
    return entry;
}

Value Pasteboard::storedOf(const Entry& entry)
{
    if (!entry.unread.isMissing() && !entry.unread.isDictionary())
        return entry.unread;
    Dictionary types;
    for (const auto& [type, data] : entry.item)
        types.set(type, Value(data));
    if (const Dictionary* unread = entry.unread.asDictionary()) {
        for (const auto& [type, value] : *unread)
            types.set(type, value);
    }
    return Value(std::move(types));
}

std::shared_ptr<Pasteboard> Pasteboard::load(const std::string& name)
{
    std::string path = pathFor(name);
    // What a write killed part-way left goes at the next launch, not only at that pasteboard's
    // next write: every pasteboard's, whenever one is read from its file (a launch reads the
    // device's own at least). A write of this process under way is never taken.
    FileManager::removeLeftoverTemporaries(FileManager::join(folder(), ""));
    auto read = FileManager::readFile(path);
    if (read.outcome == FileManager::FileRead::Outcome::Missing)
        return nullptr;
    if (!read.read()) {
        // Left where it is; the pasteboard works in memory until the file reads again.
        Log::format("Pasteboard %s: %s cannot be read now (%s); it is left as it is", name.c_str(), path.c_str(), read.reason.c_str());
        auto board = std::make_shared<Pasteboard>(name);
        board->m_persistent = true;
        board->m_fileUnread = true;
        return board;
    }
    std::string error = "cannot read the file";
    std::optional<Value> value;
    size_t leftOut = 0;
    // An item (or a key of the file) that does not read costs only itself: the file's entries
    // are its keys and the items of its list.
    value = PropertyList::parseEntries(read.bytes, 2, &leftOut, &error);
    const Dictionary* file = value ? value->asDictionary() : nullptr;
    const Value* items = file ? file->find("items") : nullptr;
    const char* unreadable = !value ? error.c_str() : !file ? "not a dictionary" : items && !items->isArray() ? "its items are no list" : nullptr;
    if (unreadable) {
        Log::format("Pasteboard %s: %s is unreadable (%s); setting it aside", name.c_str(), path.c_str(), unreadable);
        FileManager::setAside(path);
        return nullptr;
    }
    auto board = std::make_shared<Pasteboard>(name);
    // What was left out is kept in a copy set aside before the next save writes the file without
    // it; until that copy can be made (a full disk), no save writes the file.
    if (leftOut > 0) {
        std::string copyError;
        board->m_copyPending = !FileManager::setAsideCopy(path, &copyError);
        Log::format("Pasteboard %s: %zu entries of %s do not read (%s); %s%s", name.c_str(), leftOut, path.c_str(),
            error.c_str(), board->m_copyPending ? "the file stays as it is until a copy of it can be set aside: " : "a copy of the file is set aside",
            board->m_copyPending ? copyError.c_str() : "");
    }
    board->m_persistent = true;
    board->m_changeCount = (*value)["changeCount"].intValue();
    if (items) {
        for (const auto& stored : *items->asArray())
            board->m_entries.push_back(entryOf(stored));
    }
    for (const auto& [key, kept] : *file) {
        if (key != "name" && key != "changeCount" && key != "items")
            board->m_unreadKeys.set(key, kept);
    }
    return board;
}

void Pasteboard::save() const
{
    Array items;
    for (const auto& entry : m_entries)
        items.push_back(storedOf(entry));
    Dictionary file { { "name", m_name }, { "changeCount", m_changeCount }, { "items", Value(std::move(items)) } };
    for (const auto& [key, kept] : m_unreadKeys)
        file.set(key, kept);
    FileManager::createDirectory(folder(), true);
    std::string error;
    if (m_fileUnread) {
        // Never written over while it could not be read; once it reads, what it held is kept in
        // a copy before this content replaces it.
        auto file = FileManager::readFile(pathFor(m_name));
        if (file.outcome != FileManager::FileRead::Outcome::Missing && !file.read())
            return;
        m_fileUnread = false;
        m_copyPending = file.read();
    }
    if (m_copyPending) {
        if (FileManager::exists(pathFor(m_name)) && !FileManager::setAsideCopy(pathFor(m_name), &error)) {
            Log::format("Pasteboard %s: not saved before a copy of its file is set aside: %s", m_name.c_str(), error.c_str());
            return;
        }
        m_copyPending = false;
    }
    if (!PropertyList::writeFile(pathFor(m_name), Value(std::move(file)), PropertyList::Format::Binary, &error))
        Log::format("Pasteboard %s: cannot save: %s", m_name.c_str(), error.c_str());
}

void Pasteboard::setAside() const
{
    std::lock_guard lock(g_mutex);
    save();
    std::string path = pathFor(m_name);
    if (!m_persistent) {
        // Written only to be set aside.
        FileManager::setAside(path);
        return;
    }
    // The file stays until the owner's new content replaces it whole, so a process ended before
    // that leaves every entry it held where the other apps read them.
    std::string error;
    if (FileManager::exists(path) && !FileManager::setAsideCopy(path, &error)) {
        Log::format("Pasteboard %s: a copy of its file cannot be set aside (%s); it is not saved until one is", m_name.c_str(),
            error.c_str());
        m_copyPending = true;
    }
}

std::shared_ptr<Pasteboard> Pasteboard::general()
{
    std::lock_guard lock(g_mutex);
    auto board = withName(kGeneralName, true);
    if (!board->m_persistent) {
        board->m_persistent = true;
        board->save();
    }
    return board;
}

std::shared_ptr<Pasteboard> Pasteboard::withName(const std::string& name, bool create)
{
    if (name.empty())
        return create ? withUniqueName() : nullptr;
    std::lock_guard lock(g_mutex);
    if (auto it = g_boards.find(name); it != g_boards.end())
        return it->second;
    if (auto loaded = load(name)) {
        g_boards[name] = loaded;
        return loaded;
    }
    if (!create)
        return nullptr;
    auto board = std::make_shared<Pasteboard>(name);
    g_boards[name] = board;
    return board;
}

std::shared_ptr<Pasteboard> Pasteboard::withUniqueName()
{
    std::lock_guard lock(g_mutex);
    std::string name;
    do
        name = "pf.pasteboard." + Crypto::hex(Crypto::randomBytes(8));
    while (g_boards.count(name));
    return withName(name, true);
}

void Pasteboard::remove(const std::string& name)
{
    std::lock_guard lock(g_mutex);
    g_boards.erase(name);
    FileManager::removeFile(pathFor(name));
}

void Pasteboard::resetAll()
{
    std::lock_guard lock(g_mutex);
    g_boards.clear();
    if (FileManager::exists(folder()))
        FileManager::removeItem(folder());
}

void Pasteboard::forgetUnsaved()
{
    std::lock_guard lock(g_mutex);
    g_boards.clear();
}

bool Pasteboard::isPersistent() const
{
    std::lock_guard lock(g_mutex);
    return m_persistent;
}

void Pasteboard::setPersistent(bool persistent)
{
    std::lock_guard lock(g_mutex);
    if (m_name == kGeneralName || persistent == m_persistent)
        return;
    m_persistent = persistent;
    if (persistent) {
        save();
    } else {
        // A file this pasteboard could not read is not its to remove.
        if (!m_fileUnread)
            FileManager::removeFile(pathFor(m_name));
    }
}

int Pasteboard::changeCount() const
{
    std::lock_guard lock(g_mutex);
    return m_changeCount;
}

void Pasteboard::changed()
{
    ++m_changeCount;
    if (m_persistent)
        save();
}

std::vector<Pasteboard::Item> Pasteboard::items() const
{
    std::lock_guard lock(g_mutex);
    std::vector<Item> out;
    out.reserve(m_entries.size());
    for (const auto& entry : m_entries)
        out.push_back(entry.item);
    return out;
}

void Pasteboard::setItems(std::vector<Item> items)
{
    std::lock_guard lock(g_mutex);
    dropUnacceptableTypes(m_name, items);
    // An app that reads the items and writes them back with one changed (a registry of apps)
    // hands the others back as they were; they keep what it could not see of them.
    std::vector<Entry> old = std::move(m_entries);
    std::vector<bool> taken(old.size(), false);
    m_entries.clear();
    for (auto& item : items) {
        Entry entry { std::move(item), Value() };
        for (size_t i = 0; i < old.size(); ++i) {
            if (!taken[i] && !old[i].unread.isMissing() && old[i].item == entry.item) {
                taken[i] = true;
                entry.unread = std::move(old[i].unread);
                break;
            }
        }
        m_entries.push_back(std::move(entry));
    }
    changed();
}

void Pasteboard::addItems(std::vector<Item> items)
{
    std::lock_guard lock(g_mutex);
    dropUnacceptableTypes(m_name, items);
    for (auto& item : items)
        m_entries.push_back(Entry { std::move(item), Value() });
    changed();
}

size_t Pasteboard::numberOfItems() const
{
    std::lock_guard lock(g_mutex);
    return m_entries.size();
}

std::vector<std::string> Pasteboard::types() const
{
    std::lock_guard lock(g_mutex);
    std::vector<std::string> out;
    if (!m_entries.empty())
        for (const auto& [type, data] : m_entries.front().item)
            out.push_back(type);
    return out;
}

bool Pasteboard::containsType(const std::string& type) const
{
    return dataForType(type).has_value();
}

std::optional<Bytes> Pasteboard::dataForType(const std::string& type) const
{
    std::lock_guard lock(g_mutex);
    for (const auto& entry : m_entries)
        if (auto it = entry.item.find(type); it != entry.item.end())
            return it->second;
    return std::nullopt;
}

void Pasteboard::setData(Bytes data, const std::string& type)
{
    std::lock_guard lock(g_mutex);
    if (!acceptableType(m_name, type))
        return;
    m_entries.clear();
    m_entries.push_back(Entry { Item { { type, std::move(data) } }, Value() });
    changed();
}

void Pasteboard::removeType(const std::string& type)
{
    std::lock_guard lock(g_mutex);
    for (auto& entry : m_entries) {
        entry.item.erase(type);
        if (const Dictionary* unread = entry.unread.asDictionary(); unread && unread->contains(type)) {
            Dictionary rest = *unread;
            rest.remove(type);
            entry.unread = rest.empty() ? Value() : Value(std::move(rest));
        }
    }
    std::erase_if(m_entries, [](const Entry& entry) { return entry.item.empty() && entry.unread.isMissing(); });
    changed();
}

std::optional<std::string> Pasteboard::string() const
{
    auto data = dataForType(kTextType);
    if (!data)
        return std::nullopt;
    return std::string(data->begin(), data->end());
}

void Pasteboard::setString(const std::string& text)
{
    setData(Bytes(text.begin(), text.end()), kTextType);
}

void Pasteboard::clear()
{
    std::lock_guard lock(g_mutex);
    m_entries.clear();
    changed();
}

}
