#include "fuzz/support/FuzzSupport.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/Sandbox.h"

#include <cstdlib>
#include <unistd.h>

namespace fuzz {

void prepareProcess()
{
    static const bool prepared = [] {
        pf::Log::setQuiet(true);
        // Files written per input (the captcha pieces, each synced to disk) would otherwise
        // set the pace; memory-backed storage keeps the runs fast.
        if (::access("/dev/shm", W_OK) == 0)
            ::setenv("TMPDIR", "/dev/shm", 1);
        pf::Sandbox::setCurrent(pf::Sandbox::createTemporary());
        return true;
    }();
    (void)prepared;
}

std::uint8_t FuzzInput::takeByte()
{
    if (m_text.empty())
        return 0;
    auto byte = static_cast<std::uint8_t>(m_text.front());
    m_text.remove_prefix(1);
    return byte;
}

std::string_view FuzzInput::takeUntil(char separator)
{
    auto at = m_text.find(separator);
    std::string_view piece = m_text.substr(0, at);
    m_text.remove_prefix(at == std::string_view::npos ? m_text.size() : at + 1);
    return piece;
}

std::string_view FuzzInput::rest()
{
    std::string_view piece = m_text;
    m_text = {};
    return piece;
}

pf::Bytes FuzzInput::restAsBytes()
{
    std::string_view piece = rest();
    return pf::Bytes(piece.begin(), piece.end());
}

}
