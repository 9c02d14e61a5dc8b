#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// The function symbols and build id of a 64-bit little-endian ELF file, read with bounds
// checks (a damaged or foreign file gives no symbols, never a crash).
class ElfSymbols {
public:
    struct Found {
        std::string name; // as stored (mangled)
        std::uint64_t value { 0 }; // the symbol's address in the file
    };

    // nullptr when the file cannot be read as such an ELF file.
    static std::unique_ptr<ElfSymbols> open(const std::string& path);
    ~ElfSymbols();

    // The GNU build id's raw bytes; empty when there is none.
    const std::string& buildId() const { return m_buildId; }
    // The function symbol whose range holds `fileAddress`.
    std::optional<Found> lookup(std::uint64_t fileAddress) const;

private:
    ElfSymbols() = default;
    bool load();

    const std::uint8_t* m_data { nullptr };
    std::size_t m_size { 0 };
    std::string m_buildId;
    std::uint64_t m_symOffset { 0 }, m_symCount { 0 }, m_strOffset { 0 }, m_strSize { 0 };
    std::uint64_t m_dynOffset { 0 }, m_dynCount { 0 }, m_dynStrOffset { 0 }, m_dynStrSize { 0 };
};
