#include "sdk/libParleySDK/AppRegisterInfo.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace parley {

namespace {

// Every text field with its archive key.
template <typename Record, typename F>
void eachText(Record& r, F f)
{
    f("appID", r.appID);
    f("appIdentifier", r.appIdentifier);
    f("appName", r.appName);
    f("appName4ZhTw", r.appName4ZhTw);
    f("appName4EnUs", r.appName4EnUs);
    f("description", r.appDescription);
    f("description4EnUs", r.appDescription4EnUs);
    f("description4ZhTw", r.appDescription4ZhTw);
    f("appurl", r.appInstallUrl);
    f("appiconurl", r.appIconUrl);
    f("appwatermarkurl", r.appWatermarkUrl);
    f("apptypelist", r.appTypeList);
    f("appdevinfo", r.appDevInfo);
}

template <typename Record, typename F>
void eachFlag(Record& r, F f)
{
    f("added", r.appAddedByUser);
    f("needUpdateInfo", r.needUpdateInfo);
    f("needUpdateIcon", r.needUpdateIcon);
    f("needUpdateWaterMark", r.needUpdateWatermark);
    f("appcanshownew", r.appCanShowNew);
    f("isnewapp", r.isNewApp);
}

// The unsigned 32-bit fields; the last two are written as signed 32-bit numbers.
template <typename Record, typename F>
void eachNumber(Record& r, F f)
{
    f("lastUpdateInfoTime", r.lastUpdateInfoTime, false);
    f("lastUpdateWatermarkTime", r.lastUpdateWatermarkTime, false);
    f("lastUpdateIconTime", r.lastUpdateIconTime, false);
    f("appinfoflag", r.appInfoFlag, true);
    f("appupdateversion", r.appUpdateVersion, true);
}

}

std::string AppRegisterInfo::description() const
{
    return "{ name:" + appName.value_or("(null)") + " appid:" + appID.value_or("(null)") + "}";
}

void AppRegisterInfo::encodeWithCoder(pf::KeyedArchiver& coder) const
{
    eachText(*this, [&](const char* key, const std::optional<std::string>& value) { coder.encodeText(key, value); });
    eachFlag(*this, [&](const char* key, bool value) { coder.encodeBool(key, value); });
    coder.encodeInteger("appInfoVer", std::int64_t(appInfoVer));
    eachNumber(*this, [&](const char* key, std::uint32_t value, bool signed32) {
        coder.encodeInteger(key, signed32 ? std::int64_t(std::int32_t(value)) : std::int64_t(value));
    });
}

std::shared_ptr<AppRegisterInfo> AppRegisterInfo::initWithCoder(pf::KeyedUnarchiver& coder)
{
    auto info = std::make_shared<AppRegisterInfo>();
    eachText(*info, [&](const char* key, std::optional<std::string>& value) { value = coder.decodeText(key); });
    eachFlag(*info, [&](const char* key, bool& value) { value = coder.decodeBool(key); });
    info->appInfoVer = std::uint64_t(coder.decodeInteger("appInfoVer"));
    eachNumber(*info, [&](const char* key, std::uint32_t& value, bool) { value = std::uint32_t(coder.decodeInteger(key)); });
    return info;
}

}
