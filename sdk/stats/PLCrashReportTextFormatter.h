#pragma once

#include "sdk/stats/CrashReport.h"

#include "platform/foundation/Value.h"

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

    enum class StringEncoding { Utf8, Ascii };
    PLCrashReportTextFormatter(int textFormat, StringEncoding encoding) : m_textFormat(textFormat), m_encoding(encoding) { }
    static PLCrashReportTextFormatter initWithTextFormatStringEncoding(int textFormat, StringEncoding encoding)
    {
        return PLCrashReportTextFormatter(textFormat, encoding);
    }
    // The report's text in the formatter's encoding; in ASCII every other character is "?".
    pf::Bytes formatReportError(const CrashReport& report) const;
    int textFormat() const { return m_textFormat; }
    StringEncoding stringEncoding() const { return m_encoding; }

private:
    int m_textFormat { kTextFormatiOS };
    StringEncoding m_encoding { StringEncoding::Utf8 };
};
