#pragma once

#include "sdk/lmconnect/update/JsUpdateVersionController.h"
#include "sdk/lmconnect/update/ScriptArchiveUnpacker.h"

#include "platform/foundation/Value.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class JsUpdateTimer;

// Keeps the LM Connect scripts current and trustworthy: installs the shipped archive when
// nothing is installed, asks the update endpoint on a timer for a newer one, and installs it only
// once its signed list of hashes checks out.
//
// Rules:
// - An archive is unpacked into a fresh private folder below the caches root, taking only
//   "config.json" and "js/..." (anything else refuses the archive), verified there, and swapped
//   in by renaming a complete folder; whatever fails leaves the installed folder and the version
//   state as they were and removes the private folder. The private folders that installs killed
//   part-way left are removed when a host next reads the installed folder (at each launch). The
//   folder an install replaces loses the files the app put there, and only those: anything else
//   in it (a folder at a script's name) stays, logged, under the retired name.
// - A download is saved under one fixed name in the sandbox's temporary folder; a failed or
//   refused download (a transport failure, a status other than 2xx) ends the run.
// - The shipped archive is copied afresh each time it is installed.
// - Installs and a script host's read of the installed folder (`loadInstalledScripts`) hold one
//   lock, so a host never sees half an update.
// - Runs happen on the timer's queue, one at a time: a run asked for while one works does
//   nothing. The other operations are for the main thread.
class JsUpdateManager : public std::enable_shared_from_this<JsUpdateManager> {
public:
    static constexpr const char* kBusinessId = "107";
    static constexpr const char* kCheckPath = "pub/check_bizup";
    static constexpr const char* kDownloadName = "jsupdate.zip";
    static constexpr const char* kBundleCopyName = "bundlejs.zip";
    static constexpr const char* kFinalFolderName = "finaljs";
    static constexpr double kCheckTimeout = 180;
    static constexpr size_t kMaxDownloadBytes = 16u << 20;
    // The check's answer is a small JSON object (a type and an address); a longer one is no
    // answer, as a failed check is.
    static constexpr size_t kMaxCheckReplyBytes = 64u << 10;

    struct Script {
        std::string path;
        std::string text;
    };

    // Folders below the current sandbox; the check goes to the configured update host.
    static std::shared_ptr<JsUpdateManager> create();
    ~JsUpdateManager();

    const std::string& libCachesFolderPath() const { return m_cachesRoot; }
    const std::string& jsFinalFolderPath() const { return m_finalFolder; }
    JsUpdateVersionController& versionController() { return m_versionController; }
    bool isWorking() const { return m_isWorking.load(); }

    // Minutes. Replaces a running timer.
    void setTimer(std::uint32_t interval, std::uint32_t delay);
    void startTimer(const std::string& businessId);
    void stopTimer();
    // The period and first delay from the version state, then `startTimer`.
    void scheduleUpdates(const std::string& businessId = kBusinessId);

    // One update run: check, download, unpack, verify, install.
    void update(const std::string& businessId);
    // Installs the shipped archive; false when there is none or it does not verify.
    bool loadBundleJsZip();
    // With `checked`, the verified files' bytes by name (see TOSDKUpdateVerify).
    // With `problem`, what does not verify.
    bool verifyFolder(const std::string& folder, std::map<std::string, pf::Bytes>* checked = nullptr, std::string* problem = nullptr) const;

    // What a script host evaluates, in order ("init.js" first): installs the shipped archive
    // when nothing is installed, or when the installed folder no longer verifies (what is
    // wrong is logged, and the version state cleared first); none when that install fails.
    std::optional<std::vector<Script>> loadInstalledScripts();

private:
    JsUpdateManager();
    std::optional<std::string> checkUpdate(const std::string& businessId);
    bool loadZip(const std::string& url, const std::string& localPath);
    // Unpacks, verifies and installs the archive; with the lock held.
    bool install(const std::string& archivePath, bool recordUpdateTime);
    // A free name for the installed folder to step aside to ("finaljs.old", then "-2" and on): a
    // retired folder found there goes first, unless it keeps what is not the app's.
    std::optional<std::string> retiredFolderName() const;
    static constexpr int kRetiredNames = 8;

    std::string m_cachesRoot;
    std::string m_finalFolder;
    std::string m_tmpFolder;
    std::string m_checkBase;
    JsUpdateVersionController m_versionController;
    std::atomic<bool> m_isWorking { false };
    std::unique_ptr<JsUpdateTimer> m_updateTimer;
    ScriptArchiveUnpacker::Limits m_limits;

    static std::recursive_mutex& installLock();
};
