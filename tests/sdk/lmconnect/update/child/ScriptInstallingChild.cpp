// Started by the script update tests: reads the installed LM Connect scripts of the sandbox at
// HOME as a script host does at launch, installing the shipped archive when none is installed,
// so that a test can end it at a step of that install.
//   script_install_child HOME

#include "sdk/lmconnect/update/JsUpdateManager.h"

#include "tests/support/ChildHome.h"

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    if (!testsupport::enterHome(argv[1]))
        return 2;
    return JsUpdateManager::create()->loadInstalledScripts() ? 0 : 1;
}
