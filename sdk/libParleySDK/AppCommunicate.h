#pragma once

#include "platform/foundation/PropertyListCheck.h"
#include "platform/foundation/Value.h"
#include "sdk/libParleySDK/AppCommunicateData.h"

#include <memory>
#include <optional>
#include <string>

namespace pf {
class Pasteboard;
}

namespace parley {

// Puts one message record on the exchange pasteboards and takes it off again. From system 7
// the general pasteboard holds {app id: record} with the file data inside the record; before,
// "parley_data" holds the records of every app and "parley_file" the file data beside them.
//
// Rules:
// - Everything is written under the type "content".
// - Taking a list off a pasteboard empties it as soon as the bytes read as a property list;
//   taking the file data always empties "parley_file".
// - What is read is checked: an entry that is no dictionary, or file data that is no data or
//   too large, counts as absent.
// - A record read for this app (Parley's reply) is never written back, so a lone UTF-16
//   surrogate in it reads as U+FFFD; the list of every app's records that a staging writes back
//   ("parley_data") takes it as damage.
class AppCommunicate {
public:
    static constexpr const char* kContentType = "content";

    static std::string getDataPasteboardName() { return "parley_data"; }
    static std::string getFilePasteboardName() { return "parley_file"; }
    static std::shared_ptr<pf::Pasteboard> getDataPasteboard();
    static std::shared_ptr<pf::Pasteboard> getFilePasteboard();
    static std::shared_ptr<pf::Pasteboard> getDataPasteboardForSystem7Plus();

    static std::optional<pf::Dictionary> propertyListForAllApp();
    static std::optional<pf::Dictionary> propertyListForAllAppForSystem7Plus();
    static std::optional<pf::Dictionary> propertyListForAppID(const std::string& appID);
    static std::optional<pf::Dictionary> propertyListForAppIDForSystem7Plus(const std::string& appID);
    static bool setPropertyList(const pf::Dictionary& list, const std::string& appID);
    static bool setPropertyListForSystem7Plus(const pf::Dictionary& list, const std::string& appID);
    static bool setFileData(const std::optional<pf::Bytes>& data, const std::string& appID);
    static std::optional<pf::Bytes> fileDataForAppID(const std::string& appID);

    // Choose the pasteboards by system version.
    static bool setAppCommunicateData(const AppCommunicateData& record, const std::string& appID);
    static std::shared_ptr<AppCommunicateData> appCommunicateDataForAppID(const std::string& appID);

private:
    static std::optional<pf::Dictionary> takeList(const std::shared_ptr<pf::Pasteboard>& board, pf::LoneSurrogates lone);
    static std::optional<pf::Dictionary> entry(const std::optional<pf::Dictionary>& all, const std::string& appID);
    static bool writeList(const std::shared_ptr<pf::Pasteboard>& board, const pf::Dictionary& list);
    static std::shared_ptr<AppCommunicateData> appCommunicateDataForAppIDForSystem7Plus(const std::string& appID);
};

}
