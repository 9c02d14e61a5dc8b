// An image file as the crash reader symbolises frames from it: the ELF header, section table,
// symbol and string tables and the build id note, then lookups of addresses the input gives.
// A symbol found must lie within the file's tables (its name a piece of the file).
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"
#include "sdk/stats/ElfSymbols.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    // Eight addresses to look up lead the input; the rest is the file.
    std::uint64_t addresses[8] = {};
    std::size_t head = std::min(size, sizeof addresses);
    std::memcpy(addresses, data, head);
    static const std::string path = pf::FileManager::join(pf::Sandbox::current()->tmpPath(), "image.so");
    pf::FileManager::writeAtomically(path, pf::Bytes(data + head, data + size));
    auto symbols = ElfSymbols::open(path);
    if (!symbols)
        return 0;
    std::string file(reinterpret_cast<const char*>(data + head), size - head);
    for (std::uint64_t address : addresses) {
        auto found = symbols->lookup(address);
        if (found && file.find(found->name) == std::string::npos)
            std::abort();
    }
    return 0;
}
