#include "sdk/libBlipSDK/BPDataTransferObject.h"

#include "platform/foundation/Crypto.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "sdk/libBlipSDK/BlipSDK.h"
#include "sdk/libBlipSDK/BlipText.h"

namespace blip {

std::optional<std::string> BPDataTransferObject::validateUserInfo() const
{
    if (!userInfo)
        return std::nullopt;
    pf::Bytes archive = pf::KeyedArchiver::archivedValue(*userInfo);
    if (archive.empty())
        return "userInfo中的数据必须是可序列化的";
    if (archive.size() > kMaxUserInfoBytes)
        return "userInfo中的数据序列化后必须小于10M";
    return std::nullopt;
}

std::optional<std::string> BPDataTransferObject::validateBeforeSend() const
{
    if (!canBeSent())
        return "不允许发送此种类型的数据 " + className();
    if (auto message = validateUserInfo())
        return message;
    return validate();
}

std::optional<std::string> BPDataTransferObject::validateAfterReceive() const
{
    if (!canBeReceived())
        return "不允许接收此种类型的数据 " + className();
    if (auto message = validateUserInfo())
        return message;
    return validate();
}

void BPDataTransferObject::storeToDictionary(pf::Dictionary& dictionary) const
{
    dictionary.set("__class", className());
}

void BPDataTransferObject::loadFromDictionary(const pf::Dictionary&)
{
}

std::string BPDataTransferObject::UUID()
{
    return pf::Device::makeUuid();
}

std::string BPDataTransferObject::pasteboardNameWithID(const std::string& transferType, const std::string& id)
{
    return "blipsdk_" + transferType + "_" + pf::Crypto::md5Hex(id, true);
}

std::string BPDataTransferObject::pasteboardName() const
{
    return pasteboardNameWithID(transferType(), objectID().value_or(""));
}

std::vector<pf::Pasteboard::Item> BPDataTransferObject::transferObjectsForPasteboard() const
{
    pf::Dictionary dictionary;
    storeToDictionary(dictionary);
    std::vector<pf::Pasteboard::Item> items;
    items.push_back({ { "transferObject", pf::KeyedArchiver::archivedValue(dictionary) } });
    if (userInfo)
        items.push_back({ { "userInfo", pf::KeyedArchiver::archivedValue(*userInfo) } });
    if (app)
        items.push_back({ { "app", pf::KeyedArchiver::archivedValue(BlipSDK3rdApp::dictionaryWithApp(*app)) } });
    std::string version = kSDKVersion;
    items.push_back({ { "sdkVersion", pf::Bytes(version.begin(), version.end()) } });
    return items;
}

bool BPDataTransferObject::writeToPasteboard() const
{
    auto items = transferObjectsForPasteboard();
    for (const auto& item : items) {
        for (const auto& [type, data] : item) {
            if (data.empty())
                return false; // an archive that was refused: nothing is staged
        }
    }
    auto board = BlipSDK::pasteboardWithName(pasteboardName(), true);
    if (!board)
        return false;
    board->setItems(std::move(items));
    return true;
}

void BPDataTransferObject::removeFromPasteboardWithID(const std::string& transferType, const std::string& id)
{
    BlipSDK::removePasteboardWithName(pasteboardNameWithID(transferType, id));
}

void BPDataTransferObject::removeFromPasteboard() const
{
    removeFromPasteboardWithID(transferType(), objectID().value_or(""));
}

std::string BPDataTransferObject::openBlipAppSchemeWithID(const std::string& transferType, const std::string& id)
{
    return "blipsdk://" + transferType + "?id=" + id + "&sdkversion=" + kSDKVersion;
}

std::string BPDataTransferObject::open3rdAppSchemeWithIDAppKey(const std::string& transferType, const std::string& id,
    const std::string& appKey)
{
    return "bp" + appKey + "://" + transferType + "?id=" + id + "&sdkversion=" + kSDKVersion;
}

std::string BPDataTransferObject::openBlipAppScheme() const
{
    return openBlipAppSchemeWithID(transferType(), objectID().value_or(""));
}

std::string BPDataTransferObject::open3rdAppSchemeWithAppKey(const std::string& appKey) const
{
    return open3rdAppSchemeWithIDAppKey(transferType(), objectID().value_or(""), appKey);
}

std::optional<BPDataTransferObject::Items> BPDataTransferObject::readItems(const std::string& transferType, const std::string& id)
{
    auto board = BlipSDK::pasteboardWithName(pasteboardNameWithID(transferType, id), false);
    if (!board)
        return std::nullopt;
    // Another app's transfer, read once and never written back: a lone surrogate reads as U+FFFD.
    auto dictionaryIn = [](const pf::Bytes& archive) -> std::optional<pf::Dictionary> {
        auto value = pf::KeyedUnarchiver::unarchivedValue(archive, nullptr, pf::LoneSurrogates::Replace);
        if (!value || !value->asDictionary())
            return std::nullopt;
        return *value->asDictionary();
    };
    Items items;
    for (const auto& item : board->items()) {
        if (auto it = item.find("transferObject"); it != item.end())
            items.object = dictionaryIn(it->second);
        if (auto it = item.find("userInfo"); it != item.end())
            items.userInfo = dictionaryIn(it->second);
        if (auto it = item.find("app"); it != item.end())
            items.app = dictionaryIn(it->second);
        if (auto it = item.find("sdkVersion"); it != item.end() && it->second.size() <= 64)
            {
            std::string version(it->second.begin(), it->second.end());
            if (BlipText::isUtf8(version))
                items.sdkVersion = version;
        }
    }
    return items;
}

void BPDataTransferObject::adoptItems(const Items& items)
{
    m_fromPasteboard = true;
    userInfo = items.userInfo;
    if (items.app)
        app = BlipSDK3rdApp::appWithDictionary(*items.app);
    if (items.sdkVersion)
        sdkVersion = *items.sdkVersion;
}

std::optional<std::string> BPDataTransferObject::textField(const pf::Dictionary& d, const char* key)
{
    const pf::Value* v = d.find(key);
    return v && v->asString() ? std::optional<std::string>(*v->asString()) : std::nullopt;
}

std::optional<pf::Bytes> BPDataTransferObject::dataField(const pf::Dictionary& d, const char* key)
{
    const pf::Value* v = d.find(key);
    return v && v->asData() ? std::optional<pf::Bytes>(*v->asData()) : std::nullopt;
}

std::optional<pf::Dictionary> BPDataTransferObject::dictionaryField(const pf::Dictionary& d, const char* key)
{
    const pf::Value* v = d.find(key);
    return v && v->asDictionary() ? std::optional<pf::Dictionary>(*v->asDictionary()) : std::nullopt;
}

}
