#include "platform/foundation/Clock.h"

namespace pf {

namespace {

double steadySeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}

double SystemClock::now() const
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

Clock& Clock::shared()
{
    static Clock* clock = new Clock(); // never destroyed: other threads read it until exit
    return *clock;
}

double Clock::now() const
{
    return m_manual.load() ? m_date.load() : SystemClock().now();
}

double Clock::monotonicNow() const
{
    return m_manual.load() ? m_monotonic.load() : steadySeconds();
}

void Clock::useSystemTime()
{
    m_manual = false;
}

void Clock::useManualTime(double start)
{
    m_date = start;
    m_monotonic = start;
    m_manual = true;
}

void Clock::setNow(double date)
{
    m_date = date;
}

void Clock::advance(double seconds)
{
    if (seconds <= 0)
        return;
    // Only the main loop's thread moves manual time, so the two need no common lock.
    m_monotonic = m_monotonic.load() + seconds;
    m_date = m_date.load() + seconds;
}

}
