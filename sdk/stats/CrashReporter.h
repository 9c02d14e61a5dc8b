#pragma once

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Value.h"

#include <optional>
#include <string>

// Crash capture: when enabled, a crash of this process (an uncaught exception, or one of the
// signals SEGV, BUS, ILL, FPE, ABRT and TRAP) leaves one report file in the sandbox's
// Library/Caches/ for the next start.
//
// Rules:
// - Everything a crash needs is prepared when capture is enabled: the report's path, an
//   alternate signal stack, the list of loaded images and the messages and buffer the report
//   is packed into. At the crash only open, write, rename and the stack walk run.
// - An uncaught exception is reported by the terminate handler with its name, reason and
//   stack (the platform exception's own stack from where it was made; for any other, the stack
//   at termination), then the process aborts. A signal is reported with its name, code and
//   address. The first report written wins: the abort after an exception report leaves it as
//   it is.
// - After the report the signal goes on to the handler that was installed before capture (a
//   sanitizer's, which prints its own report; the host's), called as it asked to be (with or
//   without the signal's information, its mask blocked) and left in place for the signal.
//   When there was none, the default or ignored, the default action is restored and the signal
//   raised again, so the process still dies of it. Enabling again keeps the first handler found.
// - Enabling keeps a pending report; only `purgePendingCrashReport` removes it (or
//   `setAsidePendingCrashReport` moves it aside). Anything but a regular file at the report's
//   name (a folder with what it holds) is never removed.
class CrashReporter {
public:
    static constexpr const char* kReportFileName = "talmerin_live_report.crash";

    static CrashReporter& sharedReporter();

    // The report file of the current sandbox.
    static std::string reportPath();
    // Whether anything lies at the report's name (a folder too: `readPendingCrashReport` tells).
    bool hasPendingCrashReport() const;
    // The report read whole (`pf::FileManager::readFile`, within `CrashReport::kMaxReportBytes`):
    // a report that cannot be read now, or a folder at its name, is told from one that read.
    pf::FileManager::FileRead readPendingCrashReport() const;
    std::optional<pf::Bytes> loadPendingCrashReportData(std::string* error = nullptr) const;
    // Removes the report file, and nothing else at its name; true when no report file is left.
    bool purgePendingCrashReport();
    // Moves the report to the next aside name (`pf::FileManager::setAside`), kept for a person.
    bool setAsidePendingCrashReport(std::string* error = nullptr);

    // Installs capture (again: the report path and images are refreshed). False, with the
    // reason, when the handlers cannot be installed.
    bool enableCrashReporter(std::string* error = nullptr);
    bool isEnabled() const { return m_enabled; }

private:
    CrashReporter() = default;
    bool m_enabled { false };
};
