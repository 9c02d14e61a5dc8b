#include "sdk/stats/TalmerinMobStatExceptionAnalyzer.h"

#include "platform/foundation/Crypto.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/UserDefaults.h"
#include "sdk/stats/CrashReporter.h"
#include "sdk/stats/PLCrashReportTextFormatter.h"
#include "sdk/stats/TalmerinMobStat.h"
#include "sdk/stats/TalmerinMobStatLogManager.h"

#include <algorithm>

namespace {

std::shared_ptr<TalmerinMobStatExceptionAnalyzer>& sharedSlot()
{
    // Never destroyed: it may be used until the process ends, after other statics are gone.
    static auto* shared = new std::shared_ptr<TalmerinMobStatExceptionAnalyzer>();
    return *shared;
}

}

std::shared_ptr<TalmerinMobStatExceptionAnalyzer> TalmerinMobStatExceptionAnalyzer::sharedTalmerinMobStatExceptionAnalyzer()
{
    static const bool registered = [] {
        pf::ResetRegistry::add([] { std::shared_ptr<TalmerinMobStatExceptionAnalyzer> old = std::move(sharedSlot()); });
        return true;
    }();
    (void)registered;
    auto& shared = sharedSlot();
    if (!shared)
        shared = std::make_shared<TalmerinMobStatExceptionAnalyzer>();
    return shared;
}

TalmerinMobStatExceptionAnalyzer::TalmerinMobStatExceptionAnalyzer()
{
    auto defaults = pf::UserDefaults::standard();
    pf::Value started = defaults->objectForKey(kAnalyzerStartedKey);
    m_analyzerStarted = started.asInteger() ? static_cast<int>(*started.asInteger()) : 0;
    pf::Value activated = defaults->objectForKey(kActivatedKey);
    if (activated.asBool()) {
        m_crashReportActivated = *activated.asBool();
    } else {
        m_crashReportActivated = true;
        defaults->setBool(kActivatedKey, true);
    }
    if (!m_crashReportActivated)
        return;
    auto& reporter = CrashReporter::sharedReporter();
    if (reporter.hasPendingCrashReport())
        handleCrashReport();
    std::string error;
    if (!reporter.enableCrashReporter(&error))
        pf::Log::line("WARNING: Could not enable crash handler in talmerinSDK: " + error);
}

void TalmerinMobStatExceptionAnalyzer::setAnalyzerStarted(int value)
{
    m_analyzerStarted = value;
    // Written through at once: the guard must be on disk before a crash could follow.
    pf::UserDefaults::standard()->setInteger(kAnalyzerStartedKey, value);
}

void TalmerinMobStatExceptionAnalyzer::handleCrashReport()
{
    auto& reporter = CrashReporter::sharedReporter();
    // The count is raised before an attempt and cleared after it, so what is left of it counts
    // the attempts the process did not survive: a crash in the handler, or the app ended (a
    // kill, a power cut) at any step. One such attempt is tried again; a report that stopped
    // the handler more than once is kept aside, unread, for a person to look at.
    int attempts = std::max(m_analyzerStarted, 0);
    if (attempts >= kMaxHandlingAttempts) {
        std::string error;
        if (!reporter.setAsidePendingCrashReport(&error)) {
            // The count stays, so the report is never read; a later launch tries again.
            pf::Log::line("TalmerinMobStat: a crash report that stopped its handling cannot be set aside: " + error);
            return;
        }
        pf::Log::line("TalmerinMobStat: a crash report stopped its handling " + std::to_string(attempts)
            + " times; it is set aside unread");
        setAnalyzerStarted(0);
        return;
    }
    // Read before the attempt is counted: reading cannot stop the handler, and a report that
    // cannot be read now is no attempt. It stays where it is for a later launch, as does
    // anything at its name that is no report (a folder is never taken for one).
    auto file = reporter.readPendingCrashReport();
    using Outcome = pf::FileManager::FileRead::Outcome;
    if (file.outcome == Outcome::Missing)
        return;
    if (file.outcome == Outcome::NotAFile || file.outcome == Outcome::Unreadable) {
        pf::Log::line("TalmerinMobStat: the crash report " + CrashReporter::reportPath() + " cannot be read now (" + file.reason
            + "); it is left as it is");
        return;
    }
    setAnalyzerStarted(attempts + 1);
    bool purge = true;
    std::string error = file.reason;
    auto report = file.read() ? CrashReport::parse(file.bytes, &error) : std::nullopt;
    if (!report) {
        // Moved off its name now rather than at the next start, so it cannot take the place of a
        // valid report of a later crash; kept aside for a person, as every damaged file is.
        pf::Log::line("Could not parse crash info in talmerin SDK");
        purge = false;
        std::string asideError;
        if (!reporter.setAsidePendingCrashReport(&asideError)) {
            // The count stays raised: the next launch tries once more, then sets it aside unread.
            pf::Log::line("TalmerinMobStat: the damaged crash report cannot be set aside: " + asideError);
            return;
        }
        pf::Log::line("TalmerinMobStat: the damaged crash report is set aside");
    } else {
        std::string text = PLCrashReportTextFormatter::stringValueForCrashReport(*report, PLCrashReportTextFormatter::kTextFormatiOS);
        // The store notes the report with its entry, so an attempt ended after the entry was
        // stored does not store it twice. Reports of two crashes differ: each holds the
        // addresses its images were loaded at and the frames' or the fault's addresses.
        purge = saveErrorLog(text, report->hasExceptionInfo ? report->exceptionReason : "",
            report->hasExceptionInfo ? report->exceptionName : "", "crash report " + pf::Crypto::sha1Hex(file.bytes));
        if (!purge)
            pf::Log::line("TalmerinMobStat: the crash report's entry could not be stored; the report is kept for the next start");
    }
    // Handling is over either way; a report whose entry is not on disk is read again next time.
    setAnalyzerStarted(0);
    if (purge)
        reporter.purgePendingCrashReport();
}

bool TalmerinMobStatExceptionAnalyzer::saveErrorLog(const std::string& text, const std::string&, const std::string& name,
    const std::string& source)
{
    return TalmerinMobStatLogManager::sharedManager()->putException(
        pf::Dictionary {
            { "t", pf::Value(TalmerinMobStat::nowMs()) },
            { "c", pf::Value(text) },
            { "y", pf::Value(name) },
        },
        source);
}
