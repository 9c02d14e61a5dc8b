#include "platform/foundation/Log.h"

#include "platform/foundation/TerminationSignal.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace pf {

namespace {
std::mutex g_mutex;
bool g_capturing = false;
bool g_quiet = false;
std::vector<std::string> g_lines;
}

void Log::line(std::string_view text)
{
    std::lock_guard lock(g_mutex);
    if (g_capturing) {
        g_lines.emplace_back(text);
        return;
    }
    if (g_quiet)
        return;
    // Standard error may be a pipe whose reader stopped reading (`2>&1 | less`): a line waits for
    // room as a plain write would, but gives way once the program is asked to end, and its end
    // is not held up behind it. A line that cannot be written is dropped.
    std::string out;
    out.reserve(text.size() + 1);
    out.append(text).push_back('\n');
    TerminationSignal::writeAll(STDERR_FILENO, out.data(), out.size());
}

void Log::format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0)
        std::vsnprintf(out.data(), out.size() + 1, fmt, args);
    va_end(args);
    line(out);
}

void Log::startCapture()
{
    std::lock_guard lock(g_mutex);
    g_capturing = true;
    g_lines.clear();
}

std::vector<std::string> Log::captured()
{
    std::lock_guard lock(g_mutex);
    return g_lines;
}

bool Log::contains(std::string_view needle)
{
    std::lock_guard lock(g_mutex);
    for (auto& l : g_lines)
        if (l.find(needle) != std::string::npos)
            return true;
    return false;
}

void Log::stopCapture()
{
    std::lock_guard lock(g_mutex);
    g_capturing = false;
    g_lines.clear();
}

void Log::setQuiet(bool quiet)
{
    std::lock_guard lock(g_mutex);
    g_quiet = quiet;
}

}
