#include "sdk/lmconnect/analytics/MRA4LCHosts.h"

MRA4LCHosts& MRA4LCHosts::shared()
{
    // Never destroyed: an upload still on the dispatcher's queue while the process exits asks
    // for its address after static destruction has begun.
    static auto* hosts = new MRA4LCHosts;
    return *hosts;
}

MRA4LCHosts::MRA4LCHosts()
    : m_hosts({
          { kConnectHost, "http://cgi.lmconnect.invalid/", "" },
          { kReportHost, "http://report.lmconnect.invalid/", "" },
      })
{
}
