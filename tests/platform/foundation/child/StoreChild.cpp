// Started by the stores' kill tests: loads one store of the home it is given, as a launch of the
// app does, and makes one change, so that a test can end it at each step of its writing.
//   store_child HOME settings     the user defaults in Library/Preferences/child.plist: sets "mine"
//   store_child HOME keychain     the generic passwords: adds the one of service "mine"
//   store_child HOME pasteboard   the persistent pasteboard "registry": adds an item of type "mine"
//   store_child HOME settings-launch   the user defaults in Library/Preferences/child.plist: only loads
//                                      them (and writes what a launch finds to write)

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Keychain.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/ChildHome.h"

#include <string>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    auto home = testsupport::enterHome(argv[1]);
    if (!home)
        return 2;
    const std::string store = argv[2];
    if (store == "settings") {
        pf::UserDefaults defaults(pf::FileManager::join(home->preferencesPath(), "child.plist"));
        defaults.setString("mine", "new");
        return 0;
    }
    if (store == "settings-launch") {
        pf::UserDefaults defaults(pf::FileManager::join(home->preferencesPath(), "child.plist"));
        return 0;
    }
    if (store == "keychain")
        return pf::Keychain::standard().addPassword("mine", "a", pf::Bytes { 9 }) == pf::Keychain::Status::Success ? 0 : 1;
    if (store == "pasteboard") {
        auto board = pf::Pasteboard::withName("registry", false);
        if (!board)
            return 1;
        board->addItems({ { { "mine", pf::Bytes { 9 } } } });
        return 0;
    }
    return 2;
}
