#include "platform/web/CompiledScripts.h"

namespace pf {

CompiledScripts& CompiledScripts::shared()
{
    // Never destroyed: contexts may still be made while static destructors run.
    static auto* scripts = new CompiledScripts();
    return *scripts;
}

std::string CompiledScripts::keyOf(std::string_view name, std::string_view source)
{
    // The name cannot hold the separator's place in the key: its length leads.
    std::string key = std::to_string(name.size());
    key += ':';
    key.append(name);
    key.append(source);
    return key;
}

CompiledScripts::Bytecode CompiledScripts::find(std::string_view name, std::string_view source)
{
    std::string key = keyOf(name, source);
    std::lock_guard lock(m_lock);
    auto it = m_index.find(key);
    if (it == m_index.end())
        return nullptr;
    m_entries.splice(m_entries.begin(), m_entries, it->second);
    return it->second->bytecode;
}

void CompiledScripts::store(std::string_view name, std::string_view source, std::vector<unsigned char> bytecode)
{
    std::string key = keyOf(name, source);
    size_t size = key.size() + bytecode.size();
    std::lock_guard lock(m_lock);
    if (auto it = m_index.find(key); it != m_index.end()) {
        m_bytes -= it->second->bytes;
        m_entries.erase(it->second);
        m_index.erase(it);
    }
    if (size > m_maxBytes)
        return;
    while (!m_entries.empty() && m_bytes + size > m_maxBytes) {
        m_bytes -= m_entries.back().bytes;
        m_index.erase(m_entries.back().key);
        m_entries.pop_back();
    }
    m_entries.push_front(Entry { std::move(key), std::make_shared<const std::vector<unsigned char>>(std::move(bytecode)), size });
    m_index.emplace(m_entries.front().key, m_entries.begin());
    m_bytes += size;
}

size_t CompiledScripts::count() const
{
    std::lock_guard lock(m_lock);
    return m_entries.size();
}

size_t CompiledScripts::bytes() const
{
    std::lock_guard lock(m_lock);
    return m_bytes;
}

}
