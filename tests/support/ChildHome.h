#pragma once

#include "platform/foundation/Sandbox.h"

#include <cstdio>
#include <memory>
#include <string>

namespace testsupport {

// For a test's child program: the device's home at `path` (its folders made when missing),
// made the current sandbox, as a launch on that home does. None, with the reason on standard
// error, when the home cannot be used; the child then exits 2, as for a bad command line.
inline std::shared_ptr<pf::Sandbox> enterHome(const char* path)
{
    std::string error;
    auto home = pf::Sandbox::atPath(path, &error);
    if (!home) {
        std::fprintf(stderr, "%s: %s\n", path, error.c_str());
        return nullptr;
    }
    pf::Sandbox::setCurrent(home);
    return home;
}

}
