// Started by the log's tests: writes one line of the LM API's log in the sandbox at HOME, as the
// first line of a launch does (it opens the log, and cuts it when it is large).
//   lmapi_log_child HOME

#include "sdk/lmconnect/lmapi/LMApiLog.h"

#include "platform/foundation/Sandbox.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    std::string error;
    auto sandbox = pf::Sandbox::atPath(argv[1], &error);
    if (!sandbox) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    pf::Sandbox::setCurrent(sandbox);
    LMAPI_LOG("a line of a launch");
    return 0;
}
