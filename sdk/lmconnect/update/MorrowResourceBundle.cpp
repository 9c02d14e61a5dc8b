#include "sdk/lmconnect/update/MorrowResourceBundle.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"

#include <mutex>

namespace {

std::mutex g_mutex;
std::string g_override;

}

void MorrowResourceBundle::setOverridePath(std::string folder)
{
    std::lock_guard lock(g_mutex);
    g_override = std::move(folder);
}

std::optional<std::string> MorrowResourceBundle::pathForResource(const std::string& fileName)
{
    std::string overridePath;
    {
        std::lock_guard lock(g_mutex);
        overridePath = g_override;
    }
    std::vector<std::string> folders;
    if (!overridePath.empty()) {
        folders.push_back(overridePath);
    } else {
        if (auto main = pf::Bundle::main()) {
            if (auto bundle = main->nestedBundle(kName))
                folders.push_back(bundle->bundlePath());
        }
#ifdef QUORVANE_LMCONNECT_GENERATED_BUNDLE
        folders.push_back(QUORVANE_LMCONNECT_GENERATED_BUNDLE);
#endif
    }
    for (auto& folder : folders) {
        std::string path = pf::FileManager::join(folder, fileName);
        bool isDirectory = false;
        if (pf::FileManager::exists(path, &isDirectory) && !isDirectory)
            return path;
    }
    return std::nullopt;
}
