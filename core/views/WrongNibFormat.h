#pragma once

#include "platform/ui/Nib.h"

#include <string>

// A layout of the application bundle that lacks the object its class name promises. It means a
// broken bundle, not bad input, so it is raised and not caught: tests that load a screen's
// layouts find it long before a person would.
class WrongNibFormat : public pf::NibError {
public:
    explicit WrongNibFormat(const std::string& reason) : pf::NibError("WrongNibFormat", reason) { }
};
