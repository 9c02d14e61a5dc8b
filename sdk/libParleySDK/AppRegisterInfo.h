#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace pf {
class KeyedArchiver;
class KeyedUnarchiver;
}

namespace parley {

// An app's registration as Parley keeps it, in a keyed archive: names and descriptions in three
// languages, addresses of its page, icon and watermark, and the times and flags of its updates.
class AppRegisterInfo {
public:
    static constexpr const char* kArchiveClassName = "AppRegisterInfo";

    bool appAddedByUser { false };
    std::optional<std::string> appID;
    std::optional<std::string> appIdentifier;
    std::optional<std::string> appName;
    std::optional<std::string> appName4ZhTw;
    std::optional<std::string> appName4EnUs;
    std::optional<std::string> appDescription;
    std::optional<std::string> appDescription4EnUs;
    std::optional<std::string> appDescription4ZhTw;
    std::optional<std::string> appInstallUrl;
    bool needUpdateInfo { false };
    bool needUpdateIcon { false };
    bool needUpdateWatermark { false };
    std::uint64_t appInfoVer { 0 };
    std::optional<std::string> appIconUrl;
    std::optional<std::string> appWatermarkUrl;
    std::uint32_t lastUpdateInfoTime { 0 };
    std::uint32_t lastUpdateWatermarkTime { 0 };
    std::uint32_t lastUpdateIconTime { 0 };
    std::optional<std::string> appTypeList;
    std::optional<std::string> appDevInfo;
    std::uint32_t appInfoFlag { 0 };
    std::uint32_t appUpdateVersion { 0 };
    bool appCanShowNew { false };
    bool isNewApp { false };

    // "{ name:<name> appid:<id>}".
    std::string description() const;

    void encodeWithCoder(pf::KeyedArchiver& coder) const;
    static std::shared_ptr<AppRegisterInfo> initWithCoder(pf::KeyedUnarchiver& coder);
};

}
