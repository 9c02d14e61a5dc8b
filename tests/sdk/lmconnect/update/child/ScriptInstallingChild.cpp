// Started by the script update tests: reads the installed LM Connect scripts of the sandbox at
// HOME as a script host does at launch, installing the shipped archive when none is installed,
// so that a test can end it at a step of that install.
//   script_install_child HOME

#include "sdk/lmconnect/update/JsUpdateManager.h"

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
    return JsUpdateManager::create()->loadInstalledScripts() ? 0 : 1;
}
