#include "sdk/lmconnect/lmapi/LMPluginMetadata.h"

std::string LMPluginMetadata::description() const
{
    std::string out = "ApiVersion: " + std::to_string(ApiVersion) + "\n";
    out += "scheme: " + scheme + "\n";
    out += "displayName: " + displayName + "\n";
    out += "bundleIdentifier: " + bundleIdentifier + "\n";
    out += "version: " + version + "\n";
    out += "iconFiles:\n{\n";
    for (const auto& [name, data] : iconFiles)
        out += "iconname: " + name + "\niconsize: " + std::to_string(data.size()) + "\n";
    return out + "}";
}

void LMPluginMetadata::encodeWithCoder(pf::KeyedArchiver& coder) const
{
    coder.encodeInteger("ApiVersion", ApiVersion);
    coder.encodeText("scheme", scheme);
    coder.encodeText("displayName", displayName);
    coder.encodeText("bundleIdentifier", bundleIdentifier);
    coder.encodeText("version", version);
    pf::Dictionary icons;
    for (const auto& [name, data] : iconFiles)
        icons.set(name, data);
    coder.encodeValue("iconFiles", icons);
}

std::shared_ptr<LMPluginMetadata> LMPluginMetadata::initWithCoder(pf::KeyedUnarchiver& coder)
{
    auto record = std::make_shared<LMPluginMetadata>();
    record->ApiVersion = static_cast<std::int32_t>(coder.decodeInteger("ApiVersion"));
    if (record->ApiVersion < kApiVersion)
        return record;
    record->scheme = coder.decodeText("scheme").value_or("");
    record->displayName = coder.decodeText("displayName").value_or("");
    record->bundleIdentifier = coder.decodeText("bundleIdentifier").value_or("");
    record->version = coder.decodeText("version").value_or("");
    pf::Value icons = coder.decodeValue("iconFiles");
    if (const pf::Dictionary* entries = icons.asDictionary()) {
        for (const auto& [name, data] : *entries) {
            if (const pf::Bytes* bytes = data.asData(); bytes && record->iconFiles.size() < kMaxIcons)
                record->iconFiles[name] = *bytes;
        }
    }
    return record;
}
