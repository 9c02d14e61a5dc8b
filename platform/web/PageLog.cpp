#include "platform/web/PageLog.h"

#include "platform/foundation/Log.h"

namespace pf {

namespace {
    // The address on the line written when the page goes leaves room for the counts.
    constexpr size_t kMaxAddressBytes = PageLog::kMaxLineBytes - 100;
}

PageLog::PageLog(std::string address)
    : m_address(cut(address, kMaxAddressBytes))
{
}

PageLog::~PageLog()
{
    if (m_timersRefused == 0 && m_leftOut == 0)
        return;
    std::string counts;
    if (m_timersRefused > 0)
        counts = std::to_string(m_timersRefused) + " timers refused";
    if (m_leftOut > 0)
        counts += (counts.empty() ? "" : ", ") + std::to_string(m_leftOut) + " lines not logged";
    Log::line("web page " + m_address + ": " + counts);
}

std::string_view PageLog::cut(std::string_view text, size_t bytes)
{
    if (text.size() <= bytes)
        return text;
    size_t end = bytes;
    // Back off continuation bytes (10xxxxxx) so the cut falls between characters.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

void PageLog::line(std::string_view text)
{
    if (m_written < kMaxLines) {
        ++m_written;
        Log::line(cut(text, kMaxLineBytes));
        return;
    }
    if (m_written == kMaxLines) {
        ++m_written;
        Log::line("web page " + m_address + ": further lines of the page are only counted");
    }
    ++m_leftOut;
}

void PageLog::timerRefused(size_t limit)
{
    if (m_timersRefused++ == 0)
        line("web page: a timer refused: the page has " + std::to_string(limit) + " already; further refusals are counted");
}

}
