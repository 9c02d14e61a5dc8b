// Started by the statistics' tests: a launch of the LM Connect statistics on the home at HOME,
// against the vendor services at ROOT, on Wi-Fi, so that each event goes at once. It opens a
// session and tracks the custom event NAME. Then it says "stored" once both events are in the
// store and ends its main, as the app's quit does, when a line comes on its standard input (or
// the input closes); the test may kill it instead.
//   analytics_upload_child HOME ROOT NAME
// With --until-sent it ends once every upload has been answered, the stored events included.

#include "sdk/lmconnect/analytics/MRA4LC.h"
#include "sdk/lmconnect/analytics/MRA4LCStore.h"
#include "sdk/lmconnect/analytics/MRDataReport.h"

#include "platform/foundation/HostTable.h"
#include "platform/foundation/Reachability.h"
#include "platform/foundation/RunLoop.h"
#include "tests/support/ChildHome.h"

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    const bool untilSent = argc == 5 && std::string(argv[4]) == "--until-sent";
    if (argc != 4 && !untilSent)
        return 2;
    pf::RunLoop::main().bindToCurrentThread();
    auto home = testsupport::enterHome(argv[1]);
    if (!home)
        return 2;
    pf::Reachability::setOverride(pf::Reachability::Status::ViaWiFi);
    pf::HostTable::pointAllAt(argv[2]);

    MRDataReport::start4LMConnect("child");
    MRA4LC::trackCustomEvent(argv[3], { });
    auto& loop = pf::RunLoop::main();
    if (untilSent)
        return loop.waitUntilIdle(60) ? 0 : 3;
    auto store = MRA4LCStore::getInstance();
    if (!loop.runUntil([&] { return store->allEvents().size() >= 2; }, 60))
        return 3;
    std::printf("stored\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    return 0;
}
