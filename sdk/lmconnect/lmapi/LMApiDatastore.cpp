#include "sdk/lmconnect/lmapi/LMApiDatastore.h"

#include "sdk/lmconnect/lmapi/LMApiAdItem.h"
#include "sdk/lmconnect/lmapi/LMApiMessage.h"
#include "sdk/lmconnect/lmapi/LMArrayPasteboard.h"
#include "sdk/lmconnect/lmapi/LMObjectPasteboard.h"
#include "sdk/lmconnect/lmapi/LMOpenApiUtility.h"
#include "sdk/lmconnect/lmapi/LMPasteboardMgr.h"
#include "sdk/lmconnect/lmapi/LMPluginMetadata.h"

#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Url.h"

namespace {

std::optional<pf::Dictionary> dictionaryOf(const std::optional<pf::Value>& value)
{
    if (!value || !value->asDictionary())
        return std::nullopt;
    return *value->asDictionary();
}

template <typename T>
std::vector<std::shared_ptr<T>> present(const std::optional<std::vector<std::shared_ptr<T>>>& list)
{
    std::vector<std::shared_ptr<T>> out;
    if (list) {
        for (const auto& item : *list) {
            if (item)
                out.push_back(item);
        }
    }
    return out;
}

}

LMApiDatastore& LMApiDatastore::instance()
{
    static LMApiDatastore* store = new LMApiDatastore;
    return *store;
}

LMApiDatastore::LMApiDatastore()
{
    pf::ResetRegistry::add([this] {
        scheme.clear();
        appId.clear();
        openId.clear();
        appName.clear();
    });
}

std::int32_t LMApiDatastore::registerWithMetadata(const std::shared_ptr<LMPluginMetadata>& metadata)
{
    auto board = LMPasteboardMgr::instance().getArrayPasteboardByName(kRegistryName);
    if (!metadata || !board)
        return -1;
    auto records = board->objectArray<LMPluginMetadata>();
    if (records) {
        for (size_t i = 0; i < records->size(); ++i) {
            const auto& record = (*records)[i];
            if (record && record->bundleIdentifier == metadata->bundleIdentifier)
                return board->replaceObjectAtIndex(static_cast<long>(i), metadata) ? 0 : -1;
        }
    }
    return board->addObject(metadata) ? 0 : -1;
}

std::vector<std::shared_ptr<LMPluginMetadata>> LMApiDatastore::registeredPlugins() const
{
    auto board = LMPasteboardMgr::instance().getArrayPasteboardByName(kRegistryName);
    return board ? present(board->objectArray<LMPluginMetadata>()) : std::vector<std::shared_ptr<LMPluginMetadata>> {};
}

std::int32_t LMApiDatastore::setAdItemArray(const std::vector<std::shared_ptr<LMApiAdItem>>& items)
{
    auto board = LMPasteboardMgr::instance().getArrayPasteboardByName(kAdItemsName);
    if (!board)
        return -1;
    return board->setObjectArray(items) ? 0 : -1;
}

std::vector<std::shared_ptr<LMApiAdItem>> LMApiDatastore::getAdItemArray() const
{
    auto board = LMPasteboardMgr::instance().getArrayPasteboardByName(kAdItemsName);
    return board ? present(board->objectArray<LMApiAdItem>()) : std::vector<std::shared_ptr<LMApiAdItem>> {};
}

std::int32_t LMApiDatastore::setApiMessage(const std::shared_ptr<LMApiMessage>& message)
{
    auto board = LMPasteboardMgr::instance().getObjectPasteboardByName(kApiMessageName);
    if (!board)
        return -1;
    return board->setObject(message) ? 0 : -1;
}

std::shared_ptr<LMApiMessage> LMApiDatastore::getApiMessage() const
{
    auto board = LMPasteboardMgr::instance().getObjectPasteboardByName(kApiMessageName);
    return board ? board->object<LMApiMessage>() : nullptr;
}

void LMApiDatastore::clearApiMessage() { setApiMessage(nullptr); }

std::int32_t LMApiDatastore::setApiLargeData(const std::optional<pf::Dictionary>& data)
{
    auto board = LMPasteboardMgr::instance().getObjectPasteboardByName(kLargeDataName);
    if (!board)
        return -1;
    if (!data) {
        board->clear();
        return 0;
    }
    bool written = isLMSupportApiGeneralPastboard() ? board->setValueByGeneralPastboard(*data) : board->setValue(*data);
    return written ? 0 : -1;
}

std::optional<pf::Dictionary> LMApiDatastore::getApiLargeData() const
{
    auto board = LMPasteboardMgr::instance().getObjectPasteboardByName(kLargeDataName);
    return board ? dictionaryOf(board->value()) : std::nullopt;
}

std::optional<pf::Dictionary> LMApiDatastore::getApiLargeDataByGeneralPastboard() const
{
    auto board = LMPasteboardMgr::instance().getObjectPasteboardByName(kLargeDataName);
    return board ? dictionaryOf(board->valueFromGeneralPastboard()) : std::nullopt;
}

void LMApiDatastore::clearApiLargeData() { setApiLargeData(std::nullopt); }

bool LMApiDatastore::isLMSupportApiGeneralPastboard() const
{
    return LMOpenApiUtility::canOpenURL(pf::Url::fromString("mlmopensdkapiV2://"));
}
