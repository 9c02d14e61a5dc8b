#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pf {

// The engine's bytecode of the app's own scripts (a page's prelude, a script host's verified
// scripts), compiled once per process and loaded by every later context: compiling costs
// several times more than loading, and these scripts run in every context that is made.
//
// Rules:
// - Only bytecode this process made is ever stored: the engine does not check bytecode it
//   loads, so nothing from outside (a page, a file, a peer) may reach this cache as bytecode.
// - An entry is found by its exact source text and name: a changed script (an update) misses
//   and is compiled anew; the old text's entry ages out.
// - Bounded in bytes (source and bytecode counted): storing beyond the bound drops the least
//   recently used entries; an entry larger than the bound is not kept.
// - Safe from any thread; the bytecode handed out stays valid while the caller holds it.
class CompiledScripts {
public:
    static constexpr size_t kDefaultMaxBytes = 4u << 20;
    using Bytecode = std::shared_ptr<const std::vector<unsigned char>>;

    // The one the script contexts use.
    static CompiledScripts& shared();

    explicit CompiledScripts(size_t maxBytes = kDefaultMaxBytes)
        : m_maxBytes(maxBytes)
    {
    }

    // None when `source` under `name` was not stored (or has aged out).
    Bytecode find(std::string_view name, std::string_view source);
    void store(std::string_view name, std::string_view source, std::vector<unsigned char> bytecode);

    size_t count() const;
    size_t bytes() const;

private:
    struct Entry {
        std::string key;
        Bytecode bytecode;
        size_t bytes;
    };
    static std::string keyOf(std::string_view name, std::string_view source);

    mutable std::mutex m_lock;
    size_t m_maxBytes;
    size_t m_bytes { 0 };
    // Most recently used first.
    std::list<Entry> m_entries;
    std::unordered_map<std::string_view, std::list<Entry>::iterator> m_index;
};

}
