#pragma once

#include "sdk/stats/CrashReport.h"

#include <string>

// The text of a crash report's exception entry: the uncaught exception's name, reason and
// stack under a fixed preamble; nothing for a crash by signal.
class PLCrashReportTextFormatter {
public:
    static constexpr int kTextFormatiOS = 0;
    static constexpr const char* kUnknownPrefixRules = "Symbol prefix rules are unknown for this OS!";

    static std::string stringValueForCrashReport(const CrashReport& report, int textFormat = kTextFormatiOS);
    // One line: index, image name, instruction pointer and symbol.
    static std::string formatStackFrame(const CrashReport::Frame& frame, long index, const CrashReport& report, bool lp64);
    // Whether instruction pointers are printed with 16 digits (else 8).
    static bool isLp64(const CrashReport& report);
};
