#include "sdk/lmconnect/analytics/MRDataReport.h"

#include "sdk/lmconnect/MorrowJSObject.h"
#include "sdk/lmconnect/analytics/ConfigManager.h"
#include "sdk/lmconnect/analytics/MRA4LC.h"
#include "sdk/lmconnect/analytics/MRA4LCConfig.h"
#include "sdk/lmconnect/analytics/MRA4LCHosts.h"
#include "sdk/lmconnect/openapi/MorrowRequest.h"

#include <cmath>
#include <cstdint>
#include <limits>

bool MRDataReport::reportData(int kind, const std::optional<std::string>& action, const std::optional<std::string>& appid,
    const std::optional<std::string>& ver)
{
    return kind != 0 || reportBonuliData(action, appid, ver);
}

bool MRDataReport::reportDataWithTime(int kind, const std::optional<std::string>& action, const std::optional<std::string>& appid,
    double timeInterval, const std::optional<std::string>& ver)
{
    return kind != 0 || reportBonuliData(action, appid, ver, timeInterval);
}

bool MRDataReport::reportBonuliData(const std::optional<std::string>& action, const std::optional<std::string>& appid,
    const std::optional<std::string>& ver, std::optional<double> timeInterval)
{
    if (!action)
        return false;
    MorrowParams params;
    if (appid) {
        params.set("strValue", *appid);
        params.set("nValue", *action);
        params.set("qver", ver.value_or(kQverDefault));
        if (timeInterval) {
            // Truncated toward zero into 32 bits; out-of-range values are clamped, not undefined.
            double t = std::isnan(*timeInterval) ? 0 : std::trunc(*timeInterval);
            t = std::clamp(t, double(std::numeric_limits<std::int32_t>::min()), double(std::numeric_limits<std::int32_t>::max()));
            params.set("elt", std::to_string(static_cast<std::int32_t>(t)));
        }
        params.set("tag", "0");
    }
    MorrowRequest::getRequestWithParams(std::move(params), "GET", { }, MRA4LCHosts::shared().reportURL())->connect();
    return true;
}

void MRDataReport::mraStart(const std::string& appid)
{
    if (ConfigManager::GetInstance()->isDataReportEnable())
        start4LMConnect(appid);
}

void MRDataReport::mraSetEnable(bool enable)
{
    MRA4LCConfig::shared().statEnable = enable;
}

void MRDataReport::js_trackCustomEndKVEventProps(const std::string& eventID, const pf::Dictionary& props)
{
    MRA4LC::trackCustomKeyValueEventEnd(eventID, props);
}

void MRDataReport::mraReportApi(const std::string& api)
{
    auto config = ConfigManager::GetInstance();
    config->updateConfig();
    if (config->isDataReportEnable())
        MRA4LC::trackCustomEvent("requireApi", pf::Array { pf::Value(api) });
}

void MRDataReport::mraSetAccount(const std::string& account)
{
    if (ConfigManager::GetInstance()->isDataReportEnable())
        MRA4LC::reportLM(account);
}

void MRDataReport::start4LMConnect(const std::string& appid)
{
    MRA4LC::start4LMConnect(appid);
}

namespace {

std::string textOf(const MorrowBridgeValue& value)
{
    const std::string* text = value.value.asString();
    return text ? *text : value.value.stringValue();
}

}

std::shared_ptr<MorrowJSObject> MRDataReport::scriptObject()
{
    auto object = std::make_shared<MorrowJSObject>(kScriptObjectName);
    const MorrowBridgeValue none;
    object->transformNativeMethod([none](const std::vector<MorrowBridgeValue>& a) {
        start4LMConnect(textOf(a[0]));
        return none;
    }, 1, "startLM4Connect", 9, { 1 });
    object->transformNativeMethod([none](const std::vector<MorrowBridgeValue>& a) {
        mraSetEnable(a[0].value.boolValue());
        return none;
    }, 1, "mraSetEnable", 9, { 4 });
    object->transformNativeMethod([none](const std::vector<MorrowBridgeValue>& a) {
        // The scripts' own reports go in whatever the policy says.
        ConfigManager::GetInstance()->updateConfig();
        MRA4LC::trackCustomEvent(textOf(a[0]), pf::Array { pf::Value(textOf(a[1])) });
        return none;
    }, 2, "trackCustomEvent", 9, { 1, 1 });
    object->transformNativeMethod([none](const std::vector<MorrowBridgeValue>& a) {
        MRA4LC::reportLM(textOf(a[0]));
        return none;
    }, 1, "reportLM", 9, { 1 });
    for (const char* name : { "reportData", "reportDataWithTime" })
        object->transformNativeMethod([](const std::vector<MorrowBridgeValue>&) { return MorrowBridgeValue(true); }, 0, name, 4, { });
    auto props = [](const MorrowBridgeValue& v) {
        const auto* d = v.value.asDictionary();
        return d ? *d : pf::Dictionary();
    };
    object->transformNativeMethod([none, props](const std::vector<MorrowBridgeValue>& a) {
        MRA4LC::trackCustomKeyValueEvent(textOf(a[0]), props(a[1]));
        return none;
    }, 2, "trackCustomKVEvent", 9, { 1, 2 });
    object->transformNativeMethod([none, props](const std::vector<MorrowBridgeValue>& a) {
        MRA4LC::trackCustomKeyValueEventBegin(textOf(a[0]), props(a[1]));
        return none;
    }, 2, "trackCustomBeginKVEventt", 9, { 1, 2 });
    return object;
}
