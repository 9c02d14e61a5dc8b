// Started by the registry's kill test: registers the app with Parley in the home it is given, as
// the app does at each launch, so that the test can end it at each step of its writing.
//   parley_registering_child HOME APPID

#include "platform/foundation/RunLoop.h"
#include "sdk/libParleySDK/PXApi.h"
#include "tests/support/ChildHome.h"

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    pf::RunLoop::main().bindToCurrentThread();
    if (!testsupport::enterHome(argv[1]))
        return 2;
    return parley::PXApi::registerApp(argv[2]) ? 0 : 1;
}
