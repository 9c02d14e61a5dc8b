#include "sdk/stats/PLCrashReportTextFormatter.h"

#include "platform/foundation/Log.h"

#include <elf.h>

#include <cinttypes>
#include <cstdio>

namespace {

// The number of characters (code points) of a UTF-8 text.
std::size_t characters(const std::string& text)
{
    std::size_t count = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80)
            ++count;
    }
    return count;
}

// Reports are written by this program's own capture, which always names the system "Linux":
// no rule for a leading "_" is known for it, so symbol names are printed as they are.
bool knowsPrefixRules(const std::string&)
{
    return false;
}

}

bool PLCrashReportTextFormatter::isLp64(const CrashReport& report)
{
    for (const auto& image : report.images) {
        switch (image.elfMachine) {
        case EM_X86_64:
            return true;
        case EM_386:
        case EM_ARM:
        case EM_PPC:
            return false;
        default:
            break; // other machines do not decide
        }
    }
    const std::string& arch = report.architecture;
    bool is32 = arch == "i386" || arch == "i486" || arch == "i586" || arch == "i686" || arch == "x86"
        || arch == "armv6" || arch.rfind("armv7", 0) == 0 || arch == "ppc" || arch == "powerpc";
    return !is32;
}

std::string PLCrashReportTextFormatter::formatStackFrame(const CrashReport::Frame& frame, long index, const CrashReport& report, bool lp64)
{
    const CrashReport::Image* image = report.imageForAddress(frame.instructionPointer);
    std::string name = image ? image->imageName() : "???";
    for (std::size_t n = characters(name); n < 35; ++n)
        name += ' ';

    char head[64];
    std::snprintf(head, sizeof head, "%-4ld", index);
    char address[32];
    std::snprintf(address, sizeof address, " 0x%0*" PRIx64 " ", lp64 ? 16 : 8, frame.instructionPointer);

    std::string symbol;
    char buffer[64];
    if (frame.symbolInfo) {
        const std::string& symbolName = frame.symbolInfo->name;
        std::snprintf(buffer, sizeof buffer, " + %lld",
            static_cast<long long>(frame.instructionPointer - frame.symbolInfo->startAddress));
        symbol = symbolName + buffer;
    } else {
        std::uint64_t base = image ? image->baseAddress : 0;
        std::snprintf(buffer, sizeof buffer, "0x%" PRIx64 " + %lld", base,
            image ? static_cast<long long>(frame.instructionPointer - base) : 0LL);
        symbol = buffer;
    }
    return head + name + address + symbol + "\n";
}

std::string PLCrashReportTextFormatter::stringValueForCrashReport(const CrashReport& report, int)
{
    bool lp64 = isLp64(report);
    std::string text;
    if (!report.hasExceptionInfo)
        return text;
    text += "Hi \n";
    text += "使用app时发生了崩溃, 详细错误信息如下:\n";
    text += "*** Terminating app due to uncaught exception '" + report.exceptionName + "', reason: '" + report.exceptionReason + "'";
    text += "\n\n";
    text += "详细错误信息:\n ( \n";
    if (report.stackFrames.empty())
        return text;
    bool warned = false;
    for (std::size_t i = 0; i < report.stackFrames.size(); ++i) {
        const auto& frame = report.stackFrames[i];
        if (frame.symbolInfo && !knowsPrefixRules(report.operatingSystem) && !warned) {
            pf::Log::line(kUnknownPrefixRules); // once a report: the rule is the same for every frame
            warned = true;
        }
        text += formatStackFrame(frame, static_cast<long>(i), report, lp64);
    }
    text += ") \n";
    text += "\n";
    return text;
}

pf::Bytes PLCrashReportTextFormatter::formatReportError(const CrashReport& report) const
{
    std::string text = stringValueForCrashReport(report, m_textFormat);
    if (m_encoding == StringEncoding::Utf8)
        return pf::Bytes(text.begin(), text.end());
    pf::Bytes out;
    for (size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        // One "?" per character: skip its continuation bytes.
        out.push_back('?');
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            ++i;
    }
    return out;
}
