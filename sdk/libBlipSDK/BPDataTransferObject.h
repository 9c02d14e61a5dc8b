#pragma once

#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/Value.h"
#include "sdk/libBlipSDK/BlipSDK3rdApp.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace blip {

// What travels between this app and Blip: a request or a response, written as four items on a
// pasteboard named after the object's id ("transferObject", "userInfo", "app", "sdkVersion";
// keyed archives of plain values except the version text) and read back by class name.
//
// Rules:
// - Validation answers none when the object may go, else the message to report: may this
//   class be sent (received), does `userInfo` archive within 10485760 bytes, then the class's
//   own rules.
// - An object read from a pasteboard is read whole, `userInfo` included; an object made here
//   never takes anything from a pasteboard.
// - Values read from a pasteboard are type-checked: one of the wrong type counts as absent.
class BPDataTransferObject {
public:
    static constexpr const char* kSDKVersion = "2.4";
    static constexpr size_t kMaxUserInfoBytes = 10485760;

    virtual ~BPDataTransferObject() = default;

    std::optional<pf::Dictionary> userInfo;
    std::shared_ptr<BlipSDK3rdApp> app;
    std::string sdkVersion { kSDKVersion };
    bool shouldOpenBlipAppInstallPageIfNotInstalled { true };

    virtual std::string className() const { return "BPDataTransferObject"; }
    virtual std::string transferType() const { return ""; }
    virtual std::optional<std::string> objectID() const { return std::nullopt; }
    virtual void setObjectID(const std::string&) { }

    virtual std::optional<std::string> validate() const { return std::nullopt; }
    std::optional<std::string> validateUserInfo() const;
    virtual bool canBeSent() const { return false; }
    virtual bool canBeReceived() const { return false; }
    virtual std::optional<std::string> validateBeforeSend() const;
    virtual std::optional<std::string> validateAfterReceive() const;

    // The object's dictionary: "__class" and the keys of each class level.
    virtual void storeToDictionary(pf::Dictionary& dictionary) const;
    virtual void loadFromDictionary(const pf::Dictionary& dictionary);

    static std::string UUID();
    // "blipsdk_<type>_<MD5 of the id, upper-case hex>"
    static std::string pasteboardNameWithID(const std::string& transferType, const std::string& id);
    std::string pasteboardName() const;
    std::vector<pf::Pasteboard::Item> transferObjectsForPasteboard() const;
    // Stages the items on the object's transfer pasteboard (created). False, with nothing staged,
    // when an item's archive is refused (a text the archive cannot hold) or there is no board: the
    // other app would find no transfer object.
    bool writeToPasteboard() const;
    static void removeFromPasteboardWithID(const std::string& transferType, const std::string& id);
    virtual void removeFromPasteboard() const;

    // "blipsdk://<type>?id=<id>&sdkversion=2.4" and "bp<key>://<type>?id=<id>&sdkversion=2.4".
    std::string openBlipAppScheme() const;
    std::string open3rdAppSchemeWithAppKey(const std::string& appKey) const;
    static std::string openBlipAppSchemeWithID(const std::string& transferType, const std::string& id);
    static std::string open3rdAppSchemeWithIDAppKey(const std::string& transferType, const std::string& id, const std::string& appKey);

    bool isFromPasteboard() const { return m_fromPasteboard; }

protected:
    // The items of a transfer pasteboard, as read (each absent when missing or malformed).
    struct Items {
        std::optional<pf::Dictionary> object;
        std::optional<pf::Dictionary> userInfo;
        std::optional<pf::Dictionary> app;
        std::optional<std::string> sdkVersion;
    };
    static std::optional<Items> readItems(const std::string& transferType, const std::string& id);
    // Takes the items other than the object's dictionary.
    void adoptItems(const Items& items);

    static std::optional<std::string> textField(const pf::Dictionary& d, const char* key);
    static std::optional<pf::Bytes> dataField(const pf::Dictionary& d, const char* key);
    static std::optional<pf::Dictionary> dictionaryField(const pf::Dictionary& d, const char* key);

    bool m_fromPasteboard { false };
};

}
