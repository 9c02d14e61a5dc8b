#pragma once

namespace pf {

// The application-wide switch that makes the screen ignore touches for a while (during
// navigation transitions, or when app code asks for it). Calls nest: touches come back when
// every begin has been matched by an end.
class Interaction {
public:
    static void beginIgnoringEvents();
    static void endIgnoringEvents();
    static bool isIgnoringEvents();
    // Test set-up.
    static void reset();
};

}
