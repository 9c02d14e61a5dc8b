// A downloaded script archive through the guarded unzip, with the limits and name filter the
// update uses. Whatever it accepts or refuses, nothing may be written outside the fresh folder
// it unpacks into, and no link may appear in it.
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"
#include "sdk/lmconnect/update/ScriptArchiveUnpacker.h"

#include <cstdlib>
#include <filesystem>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    namespace fs = std::filesystem;
    static const std::string root = pf::FileManager::join(pf::Sandbox::current()->tmpPath(), "unzip");
    static const std::string archive = pf::FileManager::join(root, "archive.zip");
    static const std::string destination = pf::FileManager::join(root, "out");
    fs::remove_all(root);
    pf::FileManager::createDirectory(destination, true);
    pf::FileManager::writeAtomically(archive, fuzz::bytes(data, size));
    ScriptArchiveUnpacker::Limits limits;
    limits.maxEntries = 64;
    limits.maxTotalBytes = 1u << 20;
    auto accept = [](const std::string& name) { return name == "config.json" || name.rfind("js/", 0) == 0; };
    std::string error;
    ScriptArchiveUnpacker::unpack(archive, destination, limits, accept, &error);
    for (auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_symlink())
            std::abort();
        std::string path = entry.path().string();
        if (path != archive && path.rfind(destination, 0) != 0)
            std::abort();
    }
    return 0;
}
