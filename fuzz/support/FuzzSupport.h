#pragma once

#include "platform/foundation/Value.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// What every fuzz target shares: a quiet process with a temporary home, and a reader that cuts
// one fuzz input into the pieces a target needs.
namespace fuzz {

// Once per process: the log stays quiet (inputs are meant to be bad) and the sandbox is a
// fresh temporary folder (in memory where the machine has /dev/shm), so nothing a target
// writes lands in a real home.
void prepareProcess();

// Once per process, for targets that show pages: the main loop runs on this thread and the clock
// is manual, so a page's timers wait for the target to move time.
void prepareMainLoop();

// Splits an input from the front. Every take is total: past the end it gives zeros and empty
// pieces, so one input always maps to one run.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : m_text(reinterpret_cast<const char*>(data), size)
    {
    }

    std::uint8_t takeByte();
    // The text up to (not including) the next `separator`, which is consumed; the rest when
    // there is none.
    std::string_view takeUntil(char separator);
    std::string_view rest();
    pf::Bytes restAsBytes();
    bool empty() const { return m_text.empty(); }

private:
    std::string_view m_text;
};

inline pf::Bytes bytes(const std::uint8_t* data, std::size_t size) { return pf::Bytes(data, data + size); }

// Whether a value read back after writing is the one written, as far as the format keeps it:
// equal, except that any NaN equals any other and dates may differ by `dateSlack` seconds (0:
// they must hold the same double, bit for bit).
bool sameValue(const pf::Value& a, const pf::Value& b, double dateSlack);

}
