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
// - Content that cannot be read (or whose texts could not be written back as they are, not
//   being UTF-8) is never written over: the pasteboard's content is set aside first
//   (`Pasteboard::setAside`) and the registry starts anew with this app's record.
// - "firstLaunchTime" is kept from this app's earlier record when that holds it as a text.
// - A description is kept only when it has 1 to 1024 characters (UTF-16 units).
class PXApiRegister {
public:
    static constexpr size_t kMaxDescription = 1024;

    static std::string getRegisterPasteboardName() { return "parley_register"; }
    static std::optional<pf::Dictionary> getRegisterDictionary(const std::shared_ptr<pf::Pasteboard>& board);
    // The path of the icon file to send, by the info dictionary and the screen scale.
    static std::optional<std::string> getIconString();
    static pf::Dictionary buildAppDictionary(const std::string& appID, const pf::Dictionary* oldAppDictionary);
    static bool registerApp(const std::string& appID);
    static bool registerAppWithDescription(const std::string& appID, const std::optional<std::string>& description);
};

}
