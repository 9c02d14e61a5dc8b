// A crash report file as the next start reads it: the frame (magic, length, CRC), the packed
// report inside it, the symbols taken from the image files it names, and the entry's text.
// The first byte picks whether the rest is a whole file or a payload put in a correct frame,
// so the packed report itself is reached past the checksum. A report that parses must pack
// and parse again to the same text, and the log's JSON must always hold that text: as it is
// when it is UTF-8, else with each byte that is no part of a character shown as "\xHH".
#include "fuzz/support/FuzzSupport.h"
#include "sdk/stats/CrashReport.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/TextEncoding.h"
#include "sdk/stats/PLCrashReportTextFormatter.h"
#include "sdk/stats/StatLogCodec.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    fuzz::FuzzInput input(data, size);
    bool framed = input.takeByte() & 1;
    pf::Bytes bytes = input.restAsBytes();
    auto report = CrashReport::parse(framed ? CrashReport::framed(bytes) : bytes);
    if (!report)
        return 0;
    std::string text = PLCrashReportTextFormatter::stringValueForCrashReport(*report);
    auto again = CrashReport::parse(CrashReport::framed(report->packed()));
    if (!again || PLCrashReportTextFormatter::stringValueForCrashReport(*again) != text)
        std::abort();
    std::string shown = pf::TextEncoding::withEscapedBytes(text);
    if (pf::TextEncoding::isValidUtf8(text) != (shown == text) || !pf::TextEncoding::isValidUtf8(shown))
        std::abort();
    auto json = StatLogCodec::json(pf::Value(text));
    if (!json || pf::Json::parse(*json) != pf::Value(shown))
        std::abort();
    return 0;
}
