#pragma once

#include "platform/foundation/FileManager.h"

#include <memory>
#include <string>

// Made when crash logging is switched on: turns a crash report left by the previous run into
// an exception entry of the statistics log, then installs crash capture.
//
// Rules:
// - "kSDKAnalyzerActivated" (a bool, YES when absent or of another type) allows capture;
//   when it is NO nothing is read and nothing installed.
// - "kSDKAnalyzerAnalyzerStarted" counts the attempts at handling the pending report that
//   did not end (a crash in the handler, or the app ended at any step of it); it is 0 when
//   none is under way. One such attempt is tried again at the next start (an earlier
//   version's flag, 1, is one attempt); a report that stopped the handler kMaxHandlingAttempts
//   times is set aside unread (`FileManager::setAside`), never deleted.
// - The entry and a digest of the report are stored in one transaction, so an attempt ended
//   after the entry was stored does not store it again.
// - A report that cannot be read is logged and dropped at once, and the count reset, so a
//   valid report of a later crash is read at the start after it.
// - A report that was read is deleted only once its entry is in the log's file; when the
//   write failed or the log lives in memory only, it stays for the next start.
class TalmerinMobStatExceptionAnalyzer {
public:
    static constexpr const char* kAnalyzerStartedKey = "kSDKAnalyzerAnalyzerStarted";
    static constexpr const char* kActivatedKey = "kSDKAnalyzerActivated";
    static constexpr int kMaxHandlingAttempts = 2;

    static std::shared_ptr<TalmerinMobStatExceptionAnalyzer> sharedTalmerinMobStatExceptionAnalyzer();

    TalmerinMobStatExceptionAnalyzer();

    void handleCrashReport();
    // True when the entry reached the log's file, or did before: a non-empty `source` names
    // the report, noted with the entry and stored once.
    bool saveErrorLog(const std::string& text, const std::string& reason, const std::string& name,
        const std::string& source = {});

    int analyzerStarted() const { return m_analyzerStarted; }
    bool crashReportActivated() const { return m_crashReportActivated; }
    // Kept for the report files; nothing else uses it.
    const std::shared_ptr<pf::FileManager>& fileManager() const { return m_fileManager; }
    void setFileManager(std::shared_ptr<pf::FileManager> manager) { m_fileManager = std::move(manager); }

private:
    void setAnalyzerStarted(int value);

    int m_analyzerStarted { 0 };
    bool m_crashReportActivated { true };
    std::shared_ptr<pf::FileManager> m_fileManager { std::make_shared<pf::FileManager>() };
};
