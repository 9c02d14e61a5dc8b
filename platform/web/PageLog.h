#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pf {

// What one web page makes the app write to the log. A page is untrusted and can cause lines as
// fast as its scripts run (console output, alerts, errors of its scripts and timers, refused
// markup and timers, bridge messages nobody handles), so what it can print is bounded.
//
// Rules:
// - Each line is cut to kMaxLineBytes, never inside a character.
// - The first kMaxLines lines are written; the next one is replaced by a line saying that the
//   page's further lines are only counted, and so are all after it.
// - A refused timer is said once per page (a line like the others); the rest are counted.
// - When the page goes (the log is destroyed), one line with the page's address gives what
//   was only counted: the timers refused and the lines not logged, when there were any.
// - Main thread only.
class PageLog {
public:
    static constexpr size_t kMaxLines = 200;
    static constexpr size_t kMaxLineBytes = 500;

    explicit PageLog(std::string address);
    ~PageLog();
    PageLog(const PageLog&) = delete;
    PageLog& operator=(const PageLog&) = delete;

    void line(std::string_view text);
    // The page asked for a timer beyond the `limit` it may keep.
    void timerRefused(size_t limit);

    size_t linesLeftOut() const { return m_leftOut; }
    size_t timersRefused() const { return m_timersRefused; }

    // `text` cut to at most `bytes`, at a character boundary.
    static std::string_view cut(std::string_view text, size_t bytes);

private:
    std::string m_address;
    size_t m_written { 0 };
    size_t m_leftOut { 0 };
    size_t m_timersRefused { 0 };
};

}
