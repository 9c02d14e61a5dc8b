// Started by the log's tests: writes one line of the LM API's log in the sandbox at HOME, as the
// first line of a launch does (it opens the log, and cuts it when it is large).
//   lmapi_log_child HOME

#include "sdk/lmconnect/lmapi/LMApiLog.h"

#include "tests/support/ChildHome.h"

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    if (!testsupport::enterHome(argv[1]))
        return 2;
    LMAPI_LOG("a line of a launch");
    return 0;
}
