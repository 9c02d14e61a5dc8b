#pragma once

namespace pf {

// Puts the toolkit's process-wide state back to the start: no shown windows, no key window, no
// alerts, no first responder or application responder, animations on, touches accepted, no
// open transaction, the device's screen. Tests call it when they start and end (after the run
// loop has been given its test clock).
class UIEnvironment {
public:
    static void reset();
};

}
