#include "sdk/lmconnect/update/TOSDKUpdateVerify.h"

#include "sdk/lmconnect/update/ScriptArchiveUnpacker.h"
#include "sdk/lmconnect/update/TOSDKRSACryptor.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Json.h"

std::string TOSDKUpdateVerify::fileNameForKey(const std::string& key)
{
    std::string name = key;
    size_t underscore = name.rfind('_');
    if (underscore != std::string::npos)
        name[underscore] = '.';
    return name;
}

namespace {

// The file's bytes when their SHA-1 is `expectedHash`.
std::optional<pf::Bytes> readChecked(const std::string& path, const std::optional<std::string>& expectedHash)
{
    if (path.empty() || !expectedHash)
        return std::nullopt;
    auto data = pf::FileManager::read(path);
    if (!data || TOSDKRSACryptor::hashValueForFile(*data) != *expectedHash)
        return std::nullopt;
    return data;
}

}

bool TOSDKUpdateVerify::verifyFile(const std::string& path, const std::optional<std::string>& expectedHash)
{
    return readChecked(path, expectedHash).has_value();
}

bool TOSDKUpdateVerify::isNativeResourceFileValid(const std::string& folder, std::map<std::string, pf::Bytes>* checked)
{
    if (!pf::FileManager::isDirectory(folder))
        return false;
    auto list = pf::FileManager::read(pf::FileManager::join(folder, "verify.json"));
    auto signature = pf::FileManager::read(pf::FileManager::join(folder, "verify.signature"));
    if (!TOSDKRSACryptor::verifyKeySig(list, std::string(TOSDKRSACryptor::publicKeyText()), signature))
        return false;
    std::string stray = pf::FileManager::join(folder, ".DS_STORE");
    if (pf::FileManager::exists(stray))
        pf::FileManager::removeItem(stray);
    auto parsed = pf::Json::parse(*list);
    if (!parsed || !parsed->isDictionary() || parsed->size() == 0)
        return false;
    std::map<std::string, pf::Bytes> files;
    for (auto& [key, value] : *parsed->asDictionary()) {
        std::string name = fileNameForKey(key);
        // A signed list names files of its own folder only.
        if (!ScriptArchiveUnpacker::isSafeName(name) || name.find('/') != std::string::npos)
            return false;
        const std::string* hash = value.asString();
        auto data = readChecked(pf::FileManager::join(folder, name), hash ? std::optional<std::string>(*hash) : std::nullopt);
        if (!data)
            return false;
        if (checked)
            files[name] = std::move(*data);
    }
    if (checked)
        *checked = std::move(files);
    return true;
}
