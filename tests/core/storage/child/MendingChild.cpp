// Started by the tests of a mend cut short: one launch of the booked store in the home given,
// its first operation (a listing) run while the disk refuses every read of a stretch of one file
// (the store or its journal), so that the launch's check meets the refusal and mends the store.
// The test kills it at a step of that mend (KillAtStep.h) and looks at what the next launch makes
// of what it left.
//   mending_child HOME FILE OFFSET LENGTH [--no-hard-links | --until-signal]
// Prints the count of bookings listed; exits 0 when it listed them, 3 when the listing failed.
// With --until-signal it watches the signals that end a program, and its disk is slow once the
// mend is under way: the first read the mend makes prints "mending" and then takes until a signal
// has arrived, so that a test's signal reaches it in the middle of the mend, whatever the
// machine's speed.

#include "core/storage/GiftDetailInfoDatabaseManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/TerminationSignal.h"
#include "tests/support/SlowDisk.h"
#include "tests/support/NoHardLinks.h"
#include "tests/support/UnreadableRange.h"
#include "tests/support/ChildHome.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

int main(int argc, char** argv)
{
    const std::string option = argc == 6 ? argv[5] : "";
    if (argc != 5 && !(argc == 6 && (option == "--no-hard-links" || option == "--until-signal")))
        return 2;
    pf::RunLoop::main().bindToCurrentThread();
    // As in the tests: the mend's time bound does not hang on the machine's speed (and the
    // waits on the way to it pass at once, counted by the unreadable range).
    pf::Clock::shared().useManualTime(1'700'000'000.0);
    if (!testsupport::enterHome(argv[1]))
        return 2;
    std::optional<testsupport::NoHardLinks> noLinks;
    if (option == "--no-hard-links")
        noLinks.emplace();
    std::optional<testsupport::SlowDisk> slow;
    if (option == "--until-signal") {
        pf::TerminationSignal::watch({ SIGINT, SIGTERM, SIGHUP }, [](int) { });
        const std::string store = GiftDetailInfoDatabaseManager::databasePath();
        slow.emplace(store, [store, told = false]() mutable {
            // The mend builds its new file before it reads the damaged one.
            if (told || !pf::FileManager::exists(store + ".rebuilt"))
                return;
            told = true;
            std::printf("mending\n");
            std::fflush(stdout);
            // Readable from the first signal on; a minute at most, so that a child nobody signals
            // still ends.
            pollfd signalled { pf::TerminationSignal::descriptor(), POLLIN, 0 };
            while (pf::TerminationSignal::received() == 0 && ::poll(&signalled, 1, 60'000) < 0 && errno == EINTR) { }
        });
    }
    testsupport::UnreadableRange refused(argv[2], std::strtoull(argv[3], nullptr, 10), std::strtoull(argv[4], nullptr, 10));
    auto listed = GiftDetailInfoDatabaseManager::sharedInstance()->retrieveDataFromTable();
    if (!listed)
        return 3;
    std::printf("%zu\n", listed->size());
    return 0;
}
