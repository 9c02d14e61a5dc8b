#include "sdk/lmconnect/update/JsUpdateManager.h"

#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/lmconnect/update/JsUpdateTimer.h"
#include "sdk/lmconnect/update/MorrowResourceBundle.h"
#include "sdk/lmconnect/update/TOSDKUpdateVerify.h"

#include "platform/foundation/AsciiText.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/TextEncoding.h"
#include "platform/foundation/Url.h"
#include "platform/foundation/UrlConnection.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kStagingStem = "jsupdate";
// mkdtemp's names for "jsupdate-XXXXXX".
constexpr pf::FileManager::TemporaryNames kStagingNames { "-", 6, pf::FileManager::kMktempCharacters, true };

// A new folder only this process can enter.
std::optional<std::string> makePrivateFolder(const std::string& parent)
{
    if (!pf::FileManager::createDirectory(parent, true))
        return std::nullopt;
    std::string pattern = pf::FileManager::join(parent, std::string(kStagingStem) + "-XXXXXX");
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        return std::nullopt;
    return std::string(buffer.data());
}

bool acceptedEntry(const std::string& name)
{
    return name == "config.json" || name.rfind("js/", 0) == 0;
}

// The script files a folder's list names.
void addListedNames(const std::string& folder, std::vector<std::string>& names)
{
    auto list = pf::FileManager::read(pf::FileManager::join(folder, "verify.json"));
    auto parsed = list ? pf::Json::parse(*list) : std::nullopt;
    if (!parsed || !parsed->isDictionary())
        return;
    for (auto& [key, value] : *parsed->asDictionary()) {
        std::string name = TOSDKUpdateVerify::fileNameForKey(key);
        if (ScriptArchiveUnpacker::isSafeName(name) && name.find('/') == std::string::npos
            && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
}

// Removes a script folder the app installed and no longer uses: the files it put there (the
// signed list, its signature and the files the list names, or the installed folder's list
// names, should its own list be damaged), then the folder once empty. Anything else in it (a
// folder at a script's name, with all it holds) is not the app's to take: it stays, and so does
// the folder, with a line saying so. True when the folder is gone.
bool removeInstalledFolder(const std::string& folder, const std::string& installed)
{
    if (!pf::FileManager::isOccupied(folder))
        return true;
    // The list goes last, so that a removal cut short still knows what is left of the app's.
    std::vector<std::string> names;
    addListedNames(folder, names);
    addListedNames(installed, names);
    names.push_back("verify.signature");
    names.push_back("verify.json");
    for (const auto& name : names)
        pf::FileManager::removeFile(pf::FileManager::join(folder, name));
    if (::rmdir(folder.c_str()) == 0)
        return true;
    pf::Log::format("JsUpdateManager: %s holds what the app did not put there (%s); it is left as it is", folder.c_str(),
        std::strerror(errno));
    return false;
}

}

std::recursive_mutex& JsUpdateManager::installLock()
{
    static auto& lock = *new std::recursive_mutex; // never destroyed: held by queue jobs
    return lock;
}

std::shared_ptr<JsUpdateManager> JsUpdateManager::create()
{
    return std::shared_ptr<JsUpdateManager>(new JsUpdateManager());
}

JsUpdateManager::JsUpdateManager()
    : m_cachesRoot(pf::FileManager::join(pf::Sandbox::current()->libraryPath(), "caches"))
    , m_finalFolder(pf::FileManager::join(m_cachesRoot, kFinalFolderName))
    , m_tmpFolder(pf::Sandbox::current()->tmpPath())
    , m_checkBase(MorrowHostConfig::shared().updateCheckBase())
    , m_versionController(m_finalFolder)
{
}

JsUpdateManager::~JsUpdateManager()
{
    stopTimer();
}

void JsUpdateManager::setTimer(std::uint32_t interval, std::uint32_t delay)
{
    stopTimer();
    m_updateTimer = std::make_unique<JsUpdateTimer>(interval, delay);
}

void JsUpdateManager::startTimer(const std::string& businessId)
{
    if (!m_updateTimer)
        return;
    std::weak_ptr<JsUpdateManager> weak = weak_from_this();
    m_updateTimer->start([weak, businessId] {
        if (auto self = weak.lock())
            self->update(businessId);
    });
}

void JsUpdateManager::stopTimer()
{
    if (m_updateTimer)
        m_updateTimer->stop();
}

void JsUpdateManager::scheduleUpdates(const std::string& businessId)
{
    setTimer(static_cast<std::uint32_t>(m_versionController.getFinalFrequency()),
        static_cast<std::uint32_t>(m_versionController.getTimerDelay()));
    startTimer(businessId);
}

void JsUpdateManager::update(const std::string& businessId)
{
    if (m_isWorking.exchange(true))
        return;
    if (auto url = checkUpdate(businessId)) {
        std::string archive = pf::FileManager::join(m_tmpFolder, kDownloadName);
        if (loadZip(*url, archive)) {
            std::lock_guard lock(installLock());
            install(archive, true);
        }
    }
    m_isWorking.store(false);
}

std::optional<std::string> JsUpdateManager::checkUpdate(const std::string& businessId)
{
    std::string version = m_versionController.latestVersion();
    if (version.empty())
        version = "1";
    std::string url = m_checkBase + kCheckPath + "?uin=0&qver=2.2&pf=2&hver=" + pf::Url::escapeComponent(version)
        + "&biz=" + pf::Url::escapeComponent(businessId);
    pf::UrlRequest request(url, kCheckTimeout);
    request.setMaximumResponseSize(kMaxCheckReplyBytes);
    auto result = pf::UrlConnection::sendSynchronousRequest(request);
    if (!result.succeeded() || !pf::TextEncoding::isValidUtf8(result.data))
        return std::nullopt;
    std::string text(result.data.begin(), result.data.end());
    auto reply = pf::Json::parse(pf::AsciiText::trimmed(text));
    if (!reply || !reply->isDictionary() || !(*reply)["type"].isNumber())
        return std::nullopt;
    const std::string* download = (*reply)["url"].asString();
    if ((*reply)["type"].longValue() != 1 || !download || download->empty())
        return std::nullopt;
    return *download;
}

bool JsUpdateManager::loadZip(const std::string& url, const std::string& localPath)
{
    pf::UrlRequest request(url);
    request.setMaximumResponseSize(kMaxDownloadBytes);
    auto result = pf::UrlConnection::sendSynchronousRequest(request);
    int status = result.response ? result.response->statusCode() : 0;
    if (!result.succeeded() || status < 200 || status > 299) {
        pf::Log::line("JsUpdateManager: the script archive could not be fetched");
        return false;
    }
    pf::FileManager::createDirectory(m_tmpFolder, true);
    return pf::FileManager::writeAtomically(localPath, result.data);
}

bool JsUpdateManager::verifyFolder(const std::string& folder, std::map<std::string, pf::Bytes>* checked, std::string* problem) const
{
    return TOSDKUpdateVerify::isNativeResourceFileValid(folder, checked, problem);
}

bool JsUpdateManager::install(const std::string& archivePath, bool recordUpdateTime)
{
    auto staging = makePrivateFolder(m_cachesRoot);
    if (!staging)
        return false;
    std::string unpacked = pf::FileManager::join(*staging, "js");
    std::string error;
    bool ok = ScriptArchiveUnpacker::unpack(archivePath, *staging, m_limits, acceptedEntry, &error);
    if (!ok)
        pf::Log::line("JsUpdateManager: script archive refused: " + error);
    // "config.json" is not signed: it counts only beside a folder that verifies, its version
    // must be a sane number, newer than the installed one for a download, and its period is
    // bounded when it is stored.
    std::optional<pf::Value> config;
    std::optional<long long> version;
    if (ok) {
        auto text = pf::FileManager::read(pf::FileManager::join(*staging, "config.json"));
        config = text ? pf::Json::parse(*text) : std::nullopt;
        version = config && config->isDictionary() ? JsUpdateVersionController::versionNumber((*config)["version"]) : std::nullopt;
        ok = version && verifyFolder(unpacked);
    }
    if (ok && recordUpdateTime) {
        auto installed = JsUpdateVersionController::versionNumber(pf::Value(m_versionController.latestVersion()));
        if (installed && *version <= *installed) {
            pf::Log::line("JsUpdateManager: an update that is not newer than the installed scripts is ignored");
            ok = false;
        }
    }
    if (ok) {
        // The old folder steps aside, the verified one takes its name, and the old one goes:
        // the installed name always holds a complete folder or nothing. An old folder that keeps
        // what is not the app's stays under its retired name, and the next one takes the next.
        auto retired = retiredFolderName();
        bool hadFinal = pf::FileManager::isOccupied(m_finalFolder);
        ok = retired && (!hadFinal || pf::FileManager::moveItem(m_finalFolder, *retired));
        if (ok && !pf::FileManager::moveItem(unpacked, m_finalFolder)) {
            if (hadFinal)
                pf::FileManager::moveItem(*retired, m_finalFolder);
            ok = false;
        }
        if (ok && hadFinal)
            removeInstalledFolder(*retired, m_finalFolder);
    }
    if (ok) {
        m_versionController.setVersionInfo(std::to_string(*version), (*config)["frequency"].longValue(), recordUpdateTime);
    }
    // The staging folder is the install's own, made afresh: it goes whole.
    pf::FileManager::removeItem(*staging);
    return ok;
}

std::optional<std::string> JsUpdateManager::retiredFolderName() const
{
    for (int n = 1; n <= kRetiredNames; ++n) {
        std::string name = m_finalFolder + ".old" + (n > 1 ? "-" + std::to_string(n) : "");
        if (removeInstalledFolder(name, m_finalFolder))
            return name;
    }
    pf::Log::format("JsUpdateManager: every name for the retired scripts, %s.old and on, is taken; the scripts are not replaced",
        m_finalFolder.c_str());
    return std::nullopt;
}

bool JsUpdateManager::loadBundleJsZip()
{
    std::lock_guard lock(installLock());
    auto shipped = MorrowResourceBundle::pathForResource(MorrowResourceBundle::kArchive);
    if (!shipped)
        return false;
    // A copy left by an earlier version of the app must not win over the archive shipped now.
    std::string copy = pf::FileManager::join(m_tmpFolder, kBundleCopyName);
    pf::FileManager::createDirectory(m_tmpFolder, true);
    pf::FileManager::removeFile(copy);
    if (!pf::FileManager::copyItem(*shipped, copy))
        return false;
    return install(copy, false);
}

std::optional<std::vector<JsUpdateManager::Script>> JsUpdateManager::loadInstalledScripts()
{
    std::lock_guard lock(installLock());
    // The staging folders of installs killed part-way: every install holds the lock, so none of
    // this process's is under way.
    pf::FileManager::removeLeftoverTemporaries(pf::FileManager::join(m_cachesRoot, kStagingStem), kStagingNames);
    auto info = m_versionController.getJsInfo();
    if (!info) {
        // Scripts said to be installed whose list names none: damaged, and said so.
        if (m_versionController.isUpdated()) {
            std::string problem;
            verifyFolder(m_finalFolder, nullptr, &problem);
            pf::Log::line("JsUpdateManager: the installed scripts do not verify: "
                + (problem.empty() ? "their list names no script" : problem) + "; the shipped scripts are installed again");
        }
        if (!loadBundleJsZip())
            return std::nullopt;
        info = m_versionController.getJsInfo();
        if (!info)
            return std::nullopt;
    }
    // The scripts handed out are the bytes that were checked, not a second read of the files.
    // Scripts found damaged are said and installed again at once from the shipped archive, as
    // the next launch would, so what asked for them (a share) goes through.
    std::map<std::string, pf::Bytes> checked;
    std::string problem;
    if (info->isUpdated && !verifyFolder(info->folder, &checked, &problem)) {
        pf::Log::line("JsUpdateManager: the installed scripts do not verify: " + problem + "; the shipped scripts are installed again");
        m_versionController.clearVersionInfo();
        problem.clear();
        if (!loadBundleJsZip() || !(info = m_versionController.getJsInfo()) || !verifyFolder(info->folder, &checked, &problem)) {
            pf::Log::line("JsUpdateManager: the shipped scripts cannot be installed" + (problem.empty() ? std::string() : ": " + problem));
            return std::nullopt;
        }
    }
    std::vector<Script> scripts;
    for (auto& path : info->files) {
        auto known = checked.find(path.substr(path.rfind('/') + 1));
        auto data = known != checked.end() ? std::optional<pf::Bytes>(std::move(known->second)) : pf::FileManager::read(path);
        if (!data || !pf::TextEncoding::isValidUtf8(*data))
            return std::nullopt;
        scripts.push_back({ path, std::string(data->begin(), data->end()) });
    }
    return scripts;
}
