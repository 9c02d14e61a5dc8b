#pragma once

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

// The record by which the LM app knows a registered app: its LM scheme ("LM%08X" of the app
// id), bundle identifier, name, version and at most two icons (file name -> bytes). Archived
// under the class name "LMPluginMetadata" with the keys "ApiVersion", "scheme", "displayName",
// "bundleIdentifier", "version", "iconFiles"; a record below version 1 reads without fields.
class LMPluginMetadata {
public:
    static constexpr const char* kArchiveClassName = "LMPluginMetadata";
    static constexpr std::int32_t kApiVersion = 1;
    static constexpr size_t kMaxIcons = 2;

    std::int32_t ApiVersion { kApiVersion };
    std::string scheme;
    std::string displayName;
    std::string bundleIdentifier;
    std::string version;
    std::map<std::string, pf::Bytes> iconFiles;

    std::string description() const;
    void encodeWithCoder(pf::KeyedArchiver& coder) const;
    static std::shared_ptr<LMPluginMetadata> initWithCoder(pf::KeyedUnarchiver& coder);
};
