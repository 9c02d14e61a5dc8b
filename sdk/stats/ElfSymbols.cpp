#include "sdk/stats/ElfSymbols.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace {

constexpr std::size_t kMaxFileBytes = std::size_t(2) << 30;

bool within(std::uint64_t offset, std::uint64_t length, std::size_t size)
{
    return offset <= size && length <= size - offset;
}

}

std::unique_ptr<ElfSymbols> ElfSymbols::open(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < static_cast<off_t>(sizeof(Elf64_Ehdr))
        || static_cast<std::uint64_t>(st.st_size) > kMaxFileBytes) {
        ::close(fd);
        return nullptr;
    }
    void* mapped = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (mapped == MAP_FAILED)
        return nullptr;
    std::unique_ptr<ElfSymbols> symbols(new ElfSymbols);
    symbols->m_data = static_cast<const std::uint8_t*>(mapped);
    symbols->m_size = static_cast<std::size_t>(st.st_size);
    if (!symbols->load())
        return nullptr;
    return symbols;
}

ElfSymbols::~ElfSymbols()
{
    if (m_data)
        ::munmap(const_cast<std::uint8_t*>(m_data), m_size);
}

bool ElfSymbols::load()
{
    Elf64_Ehdr header;
    std::memcpy(&header, m_data, sizeof header);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64
        || header.e_ident[EI_DATA] != ELFDATA2LSB || header.e_shentsize != sizeof(Elf64_Shdr))
        return false;
    if (!within(header.e_shoff, std::uint64_t(header.e_shnum) * sizeof(Elf64_Shdr), m_size))
        return false;
    auto section = [&](std::uint64_t index) {
        Elf64_Shdr s;
        std::memcpy(&s, m_data + header.e_shoff + index * sizeof(Elf64_Shdr), sizeof s);
        return s;
    };
    for (std::uint64_t i = 0; i < header.e_shnum; ++i) {
        Elf64_Shdr s = section(i);
        if (s.sh_type == SHT_NOTE && within(s.sh_offset, s.sh_size, m_size) && m_buildId.empty()) {
            std::uint64_t at = s.sh_offset, end = s.sh_offset + s.sh_size;
            while (at + sizeof(Elf64_Nhdr) <= end) {
                Elf64_Nhdr note;
                std::memcpy(&note, m_data + at, sizeof note);
                std::uint64_t name = at + sizeof note;
                std::uint64_t desc = name + ((std::uint64_t(note.n_namesz) + 3) & ~std::uint64_t(3));
                std::uint64_t next = desc + ((std::uint64_t(note.n_descsz) + 3) & ~std::uint64_t(3));
                if (next > end)
                    break;
                if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 && std::memcmp(m_data + name, "GNU", 4) == 0) {
                    m_buildId.assign(reinterpret_cast<const char*>(m_data + desc), note.n_descsz);
                    break;
                }
                at = next;
            }
        }
        if ((s.sh_type == SHT_SYMTAB || s.sh_type == SHT_DYNSYM) && s.sh_entsize == sizeof(Elf64_Sym)
            && within(s.sh_offset, s.sh_size, m_size) && s.sh_link < header.e_shnum) {
            Elf64_Shdr strings = section(s.sh_link);
            if (!within(strings.sh_offset, strings.sh_size, m_size))
                continue;
            bool full = s.sh_type == SHT_SYMTAB;
            (full ? m_symOffset : m_dynOffset) = s.sh_offset;
            (full ? m_symCount : m_dynCount) = s.sh_size / sizeof(Elf64_Sym);
            (full ? m_strOffset : m_dynStrOffset) = strings.sh_offset;
            (full ? m_strSize : m_dynStrSize) = strings.sh_size;
        }
    }
    return true;
}

std::optional<ElfSymbols::Found> ElfSymbols::lookup(std::uint64_t fileAddress) const
{
    // The full table when there is one; the dynamic table names only exported functions.
    bool full = m_symCount > 0;
    std::uint64_t offset = full ? m_symOffset : m_dynOffset;
    std::uint64_t count = full ? m_symCount : m_dynCount;
    std::uint64_t strOffset = full ? m_strOffset : m_dynStrOffset;
    std::uint64_t strSize = full ? m_strSize : m_dynStrSize;
    for (std::uint64_t i = 0; i < count; ++i) {
        Elf64_Sym sym;
        std::memcpy(&sym, m_data + offset + i * sizeof(Elf64_Sym), sizeof sym);
        if (ELF64_ST_TYPE(sym.st_info) != STT_FUNC || sym.st_shndx == SHN_UNDEF || sym.st_size == 0)
            continue;
        if (fileAddress < sym.st_value || fileAddress - sym.st_value >= sym.st_size)
            continue;
        if (sym.st_name >= strSize)
            return std::nullopt;
        const char* name = reinterpret_cast<const char*>(m_data + strOffset + sym.st_name);
        std::size_t length = ::strnlen(name, strSize - sym.st_name);
        return Found { std::string(name, length), sym.st_value };
    }
    return std::nullopt;
}
