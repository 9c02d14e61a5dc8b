#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>

namespace pf {
class Pasteboard;
}

namespace parley {

// Writes this app's registration record into "parley_register", the persistent pasteboard on
// which every app that talks to Parley keeps its record under its Parley id.
//
// Rules:
// - Records of other apps stay as they were; this app's own earlier record is read only when it
//   is a dictionary.
// - Content that cannot be read, a property list that is no dictionary, is never written over:
//   the pasteboard's content is set aside first (`Pasteboard::setAside`) and the registry starts
//   anew with this app's record. A record that does not read (a text that is not UTF-8 or holds
//   a NUL, which could not be written back as it is) costs only itself: the content is set
//   aside the same way, and the other records stay.
// - "firstLaunchTime" is kept from this app's earlier record when that holds it as a text.
// - A description is kept only when it has 1 to 1024 characters (UTF-16 units).
class PXApiRegister {
public:
    static constexpr size_t kMaxDescription = 1024;

    static std::string getRegisterPasteboardName() { return "parley_register"; }
    // The records that read; `leftOut` gets how many did not.
    static std::optional<pf::Dictionary> getRegisterDictionary(const std::shared_ptr<pf::Pasteboard>& board, size_t* leftOut = nullptr);
    // The path of the icon file to send, by the info dictionary and the screen scale.
    static std::optional<std::string> getIconString();
    static pf::Dictionary buildAppDictionary(const std::string& appID, const pf::Dictionary* oldAppDictionary);
    static bool registerApp(const std::string& appID);
    static bool registerAppWithDescription(const std::string& appID, const std::optional<std::string>& description);
};

}
