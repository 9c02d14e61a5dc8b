#include "sdk/lmconnect/analytics/MRDataReport.h"

#include "sdk/lmconnect/analytics/ConfigManager.h"
#include "sdk/lmconnect/analytics/MRA4LC.h"
#include "sdk/lmconnect/analytics/MRA4LCConfig.h"
#include "sdk/lmconnect/analytics/MRA4LCHosts.h"
#include "sdk/lmconnect/openapi/MorrowRequest.h"

#include <algorithm>
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
    return kind != 0 || reportBonuliDataWithTime(action, appid, timeInterval, ver);
}

bool MRDataReport::reportBonuliData(const std::optional<std::string>& action, const std::optional<std::string>& appid,
    const std::optional<std::string>& ver)
{
    return ping(action, appid, ver, std::nullopt);
}

bool MRDataReport::reportBonuliDataWithTime(const std::optional<std::string>& action, const std::optional<std::string>& appid,
    double timeInterval, const std::optional<std::string>& ver)
{
    return ping(action, appid, ver, timeInterval);
}

bool MRDataReport::ping(const std::optional<std::string>& action, const std::optional<std::string>& appid,
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
    http(std::move(params));
    return true;
}

void MRDataReport::http(MorrowParams params)
{
    auto request = MorrowRequest::getRequestWithParams(std::move(params), "GET", { }, MRA4LCHosts::shared().reportURL());
    request->setMaximumResponseSize(kMaxReplyBytes);
    request->connect();
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
