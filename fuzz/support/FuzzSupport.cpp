#include "fuzz/support/FuzzSupport.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"

#include <bit>
#include <cmath>
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

void prepareMainLoop()
{
    static const bool prepared = [] {
        pf::RunLoop::main().bindToCurrentThread();
        pf::Clock::shared().useManualTime(1'700'000'000.0);
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

bool sameValue(const pf::Value& a, const pf::Value& b, double dateSlack)
{
    auto dateA = a.asDate();
    auto dateB = b.asDate();
    if (dateA || dateB) {
        if (!dateA || !dateB)
            return false;
        double timeA = dateA->secondsSinceReference();
        double timeB = dateB->secondsSinceReference();
        if (dateSlack == 0)
            return std::bit_cast<std::uint64_t>(timeA) == std::bit_cast<std::uint64_t>(timeB);
        return std::fabs(timeA - timeB) <= dateSlack;
    }
    const pf::Array* arrayA = a.asArray();
    const pf::Array* arrayB = b.asArray();
    if (arrayA || arrayB) {
        if (!arrayA || !arrayB || arrayA->size() != arrayB->size())
            return false;
        for (size_t i = 0; i < arrayA->size(); ++i)
            if (!sameValue((*arrayA)[i], (*arrayB)[i], dateSlack))
                return false;
        return true;
    }
    const pf::Dictionary* dictionaryA = a.asDictionary();
    const pf::Dictionary* dictionaryB = b.asDictionary();
    if (dictionaryA || dictionaryB) {
        if (!dictionaryA || !dictionaryB || dictionaryA->size() != dictionaryB->size())
            return false;
        for (const auto& [key, item] : *dictionaryA) {
            const pf::Value* other = dictionaryB->find(key);
            if (!other || !sameValue(item, *other, dateSlack))
                return false;
        }
        return true;
    }
    auto realA = a.asReal();
    auto realB = b.asReal();
    if (realA && realB && std::isnan(*realA) && std::isnan(*realB))
        return true;
    return a == b;
}

}
