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

void say(std::string* problem, std::string text)
{
    if (problem)
        *problem = std::move(text);
}

// The file's bytes when their SHA-1 is `expectedHash`; otherwise what is wrong with it.
std::optional<pf::Bytes> readChecked(const std::string& path, const std::optional<std::string>& expectedHash, std::string* problem = nullptr)
{
    if (path.empty() || !expectedHash) {
        say(problem, "no hash is listed for " + path);
        return std::nullopt;
    }
    auto file = pf::FileManager::readFile(path);
    if (!file.read()) {
        say(problem, path + " cannot be read (" + file.reason + ")");
        return std::nullopt;
    }
    if (TOSDKRSACryptor::hashValueForFile(file.bytes) != *expectedHash) {
        say(problem, path + " does not match its listed hash");
        return std::nullopt;
    }
    return std::move(file.bytes);
}

}

bool TOSDKUpdateVerify::verifyFile(const std::string& path, const std::optional<std::string>& expectedHash)
{
    return readChecked(path, expectedHash).has_value();
}

bool TOSDKUpdateVerify::isNativeResourceFileValid(const std::string& folder, std::map<std::string, pf::Bytes>* checked, std::string* problem)
{
    if (!pf::FileManager::isDirectory(folder)) {
        say(problem, folder + " is no folder");
        return false;
    }
    const std::string listPath = pf::FileManager::join(folder, "verify.json");
    const std::string signaturePath = pf::FileManager::join(folder, "verify.signature");
    auto list = pf::FileManager::readFile(listPath);
    auto signature = pf::FileManager::readFile(signaturePath);
    for (const auto& [file, path] : { std::pair { &list, &listPath }, std::pair { &signature, &signaturePath } }) {
        if (!file->read()) {
            say(problem, *path + " cannot be read (" + file->reason + ")");
            return false;
        }
    }
    if (!TOSDKRSACryptor::verifyKeySig(list.bytes, std::string(TOSDKRSACryptor::publicKeyText()), signature.bytes)) {
        say(problem, "the signature " + signaturePath + " does not verify " + listPath);
        return false;
    }
    // A stray file the system's browser leaves; a folder at that name is not the app's to take.
    std::string stray = pf::FileManager::join(folder, ".DS_STORE");
    if (pf::FileManager::isOccupied(stray))
        pf::FileManager::removeFile(stray);
    auto parsed = pf::Json::parse(list.bytes);
    if (!parsed || !parsed->isDictionary() || parsed->size() == 0) {
        say(problem, listPath + " lists no file");
        return false;
    }
    std::map<std::string, pf::Bytes> files;
    for (auto& [key, value] : *parsed->asDictionary()) {
        std::string name = fileNameForKey(key);
        // A signed list names files of its own folder only.
        if (!ScriptArchiveUnpacker::isSafeName(name) || name.find('/') != std::string::npos) {
            say(problem, listPath + " names a file outside its folder");
            return false;
        }
        const std::string* hash = value.asString();
        auto data = readChecked(pf::FileManager::join(folder, name), hash ? std::optional<std::string>(*hash) : std::nullopt, problem);
        if (!data)
            return false;
        if (checked)
            files[name] = std::move(*data);
    }
    if (checked)
        *checked = std::move(files);
    return true;
}
