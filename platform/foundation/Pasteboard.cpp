#include "platform/foundation/Pasteboard.h"

#include "platform/foundation/Crypto.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
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

std::shared_ptr<Pasteboard> Pasteboard::load(const std::string& name)
{
    auto value = PropertyList::readFile(pathFor(name));
    if (!value)
        return nullptr;
    auto board = std::make_shared<Pasteboard>(name);
    board->m_persistent = true;
    board->m_changeCount = (*value)["changeCount"].intValue();
    if (const Array* items = (*value)["items"].asArray()) {
        for (const auto& entry : *items) {
            const Dictionary* types = entry.asDictionary();
            if (!types)
                continue;
            Item item;
            for (const auto& [type, data] : *types)
                if (const Bytes* bytes = data.asData())
                    item[type] = *bytes;
            if (!item.empty())
                board->m_items.push_back(std::move(item));
        }
    }
    return board;
}

void Pasteboard::save() const
{
    Array items;
    for (const auto& item : m_items) {
        Dictionary types;
        for (const auto& [type, data] : item)
            types.set(type, Value(data));
        items.push_back(Value(std::move(types)));
    }
    Value file = Dictionary { { "name", m_name }, { "changeCount", m_changeCount }, { "items", Value(std::move(items)) } };
    FileManager::createDirectory(folder(), true);
    std::string error;
    if (!PropertyList::writeFile(pathFor(m_name), file, PropertyList::Format::Binary, &error))
        Log::format("Pasteboard %s: cannot save: %s", m_name.c_str(), error.c_str());
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
    std::string path = pathFor(name);
    if (FileManager::exists(path))
        FileManager::removeItem(path);
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
        std::string path = pathFor(m_name);
        if (FileManager::exists(path))
            FileManager::removeItem(path);
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
    return m_items;
}

void Pasteboard::setItems(std::vector<Item> items)
{
    std::lock_guard lock(g_mutex);
    m_items = std::move(items);
    changed();
}

void Pasteboard::addItems(std::vector<Item> items)
{
    std::lock_guard lock(g_mutex);
    for (auto& item : items)
        m_items.push_back(std::move(item));
    changed();
}

size_t Pasteboard::numberOfItems() const
{
    std::lock_guard lock(g_mutex);
    return m_items.size();
}

std::vector<std::string> Pasteboard::types() const
{
    std::lock_guard lock(g_mutex);
    std::vector<std::string> out;
    if (!m_items.empty())
        for (const auto& [type, data] : m_items.front())
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
    for (const auto& item : m_items)
        if (auto it = item.find(type); it != item.end())
            return it->second;
    return std::nullopt;
}

void Pasteboard::setData(Bytes data, const std::string& type)
{
    std::lock_guard lock(g_mutex);
    m_items.clear();
    m_items.push_back(Item { { type, std::move(data) } });
    changed();
}

void Pasteboard::removeType(const std::string& type)
{
    std::lock_guard lock(g_mutex);
    for (auto& item : m_items)
        item.erase(type);
    std::erase_if(m_items, [](const Item& item) { return item.empty(); });
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
    m_items.clear();
    changed();
}

}
