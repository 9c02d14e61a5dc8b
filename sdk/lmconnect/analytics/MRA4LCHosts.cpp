#include "sdk/lmconnect/analytics/MRA4LCHosts.h"

MRA4LCHosts& MRA4LCHosts::shared()
{
    // Never destroyed: an upload still on the dispatcher's queue while the process exits asks
    // for its address after static destruction has begun.
    static auto* hosts = new MRA4LCHosts;
    return *hosts;
}

void MRA4LCHosts::pointAt(const std::string& root)
{
    std::string base = root;
    if (base.empty() || base.back() != '/')
        base += '/';
    std::lock_guard lock(m_mutex);
    m_connect = base;
    m_report = base;
}

std::string MRA4LCHosts::connectBase() const
{
    std::lock_guard lock(m_mutex);
    return m_connect;
}

std::string MRA4LCHosts::reportBase() const
{
    std::lock_guard lock(m_mutex);
    return m_report;
}
