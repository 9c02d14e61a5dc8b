#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pf {

// The system log: plain text lines. By default lines go to standard error; tests capture them.
// Thread-safe.
class Log {
public:
    static void line(std::string_view text);
    // printf-style convenience.
    static void format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

    // Capture: while capturing, lines are kept (and not printed) until `stopCapture`.
    static void startCapture();
    static std::vector<std::string> captured();
    static bool contains(std::string_view needle);
    static void stopCapture();
    // Silences the default output (the simulator's scripted runs).
    static void setQuiet(bool quiet);
};

}
