#pragma once

#include "sdk/lmconnect/openapi/MorrowParams.h"

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>

// One-shot report pings to the report endpoint, and the entry through which the scripts (the
// object "sdk_reportUtils", made by the script host) and the dialogs reach the statistics
// engine. It knows nothing of the script host.
class MRDataReport {
public:
    static constexpr const char* kQverDefault = "ios.SDK.1.8";
    static constexpr const char* kScriptObjectName = "sdk_reportUtils";
    // Nobody reads a ping's reply: at most this much of it is taken in.
    static constexpr size_t kMaxReplyBytes = 64 * 1024;

    // Kind 0 sends a ping; any other kind answers YES and sends nothing.
    static bool reportData(int kind, const std::optional<std::string>& action, const std::optional<std::string>& appid,
        const std::optional<std::string>& ver);
    static bool reportDataWithTime(int kind, const std::optional<std::string>& action, const std::optional<std::string>& appid,
        double timeInterval, const std::optional<std::string>& ver);
    // NO when there is no action; the ping's reply is not looked at. Without an app id the ping
    // goes without parameters.
    static bool reportBonuliData(const std::optional<std::string>& action, const std::optional<std::string>& appid,
        const std::optional<std::string>& ver);
    // The same with "elt": the time interval in whole seconds.
    static bool reportBonuliDataWithTime(const std::optional<std::string>& action, const std::optional<std::string>& appid,
        double timeInterval, const std::optional<std::string>& ver);
    // GET of the report endpoint with these parameters as its query.
    static void http(MorrowParams params);

    static void mraStart(const std::string& appid);
    static void mraSetEnable(bool enable);
    static void mraReportApi(const std::string& api);
    static void mraSetAccount(const std::string& account);
    static void start4LMConnect(const std::string& appid);

    // Script functions without a script name: the end of a timed key-value event, and an error
    // report that is not kept.
    static void js_trackCustomEndKVEventProps(const std::string& eventID, const pf::Dictionary& props);
    static void js_reportError(const pf::Value& error) { }

private:
    static bool ping(const std::optional<std::string>& action, const std::optional<std::string>& appid,
        const std::optional<std::string>& ver, std::optional<double> timeInterval);
};
