#pragma once

#include "platform/foundation/Value.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class LMApiAdItem;
class LMApiMessage;
class LMPluginMetadata;

// What the LM exchange keeps for the process (the app's LM scheme, ids and name, in memory) and
// the four pasteboard slots it shares with the LM app: the plug-in registry (records, one per
// bundle identifier), advertisement items, one API message and the large data of a share.
//
// Rules:
// - Large data goes to the general pasteboard when the LM app reads it there ("mlmopensdkapiV2"
//   can be opened), else to its named pasteboard. Writing it on the general pasteboard replaces
//   what the user had copied.
// - Setters answer 0, or -1 when the slot cannot be had or what they were given cannot be
//   archived (a text that is not UTF-8 or holds a NUL), which leaves the slot as it was;
//   getters answer none when the slot cannot be had.
// - Main thread only.
class LMApiDatastore {
public:
    static constexpr const char* kRegistryName = "com.morrow.mlm.api.registerAppPlugin";
    static constexpr const char* kAdItemsName = "com.morrow.mlm.api.aditems";
    static constexpr const char* kApiMessageName = "com.morrow.mlm.api.apiMessage";
    static constexpr const char* kLargeDataName = "com.morrow.mlm.api.apiLargeData";
    static constexpr const char* kPreviewKey = "previewimagedata";
    static constexpr const char* kFileDataKey = "file_data";
    static constexpr const char* kImageListKey = "image_data_list";

    static LMApiDatastore& instance();

    // Replaces the registry entry of the record's bundle identifier, else appends the record.
    std::int32_t registerWithMetadata(const std::shared_ptr<LMPluginMetadata>& metadata);
    std::vector<std::shared_ptr<LMPluginMetadata>> registeredPlugins() const;

    std::int32_t setAdItemArray(const std::vector<std::shared_ptr<LMApiAdItem>>& items);
    std::vector<std::shared_ptr<LMApiAdItem>> getAdItemArray() const;

    // None clears the slot.
    std::int32_t setApiMessage(const std::shared_ptr<LMApiMessage>& message);
    std::shared_ptr<LMApiMessage> getApiMessage() const;
    void clearApiMessage();

    // None clears both places.
    std::int32_t setApiLargeData(const std::optional<pf::Dictionary>& data);
    std::optional<pf::Dictionary> getApiLargeData() const;
    std::optional<pf::Dictionary> getApiLargeDataByGeneralPastboard() const;
    void clearApiLargeData();
    bool isLMSupportApiGeneralPastboard() const;

    std::string scheme;
    std::string appId;
    std::string openId;
    std::string appName;

private:
    LMApiDatastore();
};
