// Started by the tests of a mend cut short: one launch of the booked store in the home given,
// its first operation (a listing) run while the disk refuses every read of a stretch of one file
// (the store or its journal), so that the launch's check meets the refusal and mends the store.
// The test kills it at a step of that mend (KillAtStep.h) and looks at what the next launch makes
// of what it left.
//   mending_child HOME FILE OFFSET LENGTH [--no-hard-links]
// Prints the count of bookings listed; exits 0 when it listed them.

#include "core/storage/GiftDetailInfoDatabaseManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "tests/support/NoHardLinks.h"
#include "tests/support/UnreadableRange.h"
#include "tests/support/ChildHome.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 5 && !(argc == 6 && std::string(argv[5]) == "--no-hard-links"))
        return 2;
    pf::RunLoop::main().bindToCurrentThread();
    // As in the tests: the mend's time bound does not hang on the machine's speed (and the
    // waits on the way to it pass at once, counted by the unreadable range).
    pf::Clock::shared().useManualTime(1'700'000'000.0);
    if (!testsupport::enterHome(argv[1]))
        return 2;
    std::optional<testsupport::NoHardLinks> noLinks;
    if (argc == 6)
        noLinks.emplace();
    testsupport::UnreadableRange refused(argv[2], std::strtoull(argv[3], nullptr, 10), std::strtoull(argv[4], nullptr, 10));
    auto listed = GiftDetailInfoDatabaseManager::sharedInstance()->retrieveDataFromTable();
    if (!listed)
        return 3;
    std::printf("%zu\n", listed->size());
    return 0;
}
