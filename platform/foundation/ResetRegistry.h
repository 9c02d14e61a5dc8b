#pragma once

#include <functional>

namespace pf {

// How process-wide services that keep state between uses go back to a fresh start. A service
// registers its reset when it is first made; the test environment calls `resetAll` for every
// test (after the new sandbox, bundle and notification centre are in place), so no service
// has to guess whether a test has started. Production code never calls `resetAll`.
class ResetRegistry {
public:
    static void add(std::function<void()> reset);
    // In the order of registration; main thread.
    static void resetAll();
};

}
