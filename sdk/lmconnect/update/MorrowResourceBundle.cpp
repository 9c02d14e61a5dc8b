#include "sdk/lmconnect/update/MorrowResourceBundle.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"

std::optional<std::string> MorrowResourceBundle::pathForResource(const std::string& fileName)
{
    auto main = pf::Bundle::main();
    auto bundle = main ? main->nestedBundle(kName) : nullptr;
    if (!bundle)
        return std::nullopt;
    std::string path = pf::FileManager::join(bundle->bundlePath(), fileName);
    bool isDirectory = false;
    if (pf::FileManager::exists(path, &isDirectory) && !isDirectory)
        return path;
    return std::nullopt;
}
