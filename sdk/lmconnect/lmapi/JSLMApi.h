#pragma once

#include "platform/foundation/Value.h"

#include <cstdint>
#include <memory>
#include <string>

class LMApiMessage;
class MorrowJSObject;

// The native functions of the share script, registered as the script object "nativeApi". They
// work on the pending message: the one the bridge keeps under "shareToLM_Message" while the
// script runs a share.
//
// Rules:
// - Checks answer "YES"/"NO"; a failed check writes its "param error: ..." log line.
// - Staging puts the message's large data on the LM pasteboards; the address the script opens
//   carries only texts.
// - Main thread only: the script calls in synchronously during a share.
class JSLMApi {
public:
    static constexpr const char* kObjectName = "nativeApi";

    static std::shared_ptr<MorrowJSObject> nativeApiObject();

    // The message handed to the script host for the share running now; none outside a share.
    static std::shared_ptr<LMApiMessage> pendingMessage();

    static std::string js_isRegistScheme();
    static std::string js_checkLMApiURLMessage();
    // 7: the preview is being fetched and the share is sent again once it is there (or not);
    // 123: go on now.
    static std::int32_t js_resendUrlObjectSyncShare();
    static std::string js_getLMScheme();
    static std::string js_getAPPName();
    static void setImageObjectPasteBoardDatas();
    static void setURLObjectPasteBoardDatas();
    static void setExtendObjectPasteBoardDatas();
    static void setCommonObjectPasteBoardDatas();
    static std::string js_getSDKInfo();
    // 0 when the LM share page at `url` was opened; 1 when the device does not multitask or the
    // address cannot be opened.
    static std::int32_t js_openH5LMToShare(const std::string& url);
    // 0 opened, -1 not, 5 (logged) when the text is not an address.
    static std::int32_t js_openURL(const std::string& url);
    static std::string js_isLargeDataLengthLegal(const std::string& kind);
    static std::string js_appCanOpenURL(const pf::Value& params);

    // Runs the share script on the message; its answer as a number, -1 without a script host
    // or when the answer holds no number.
    static std::int32_t js_sendMessageToLM(const std::shared_ptr<LMApiMessage>& message);

    static std::string js_isLMInstalled();
    static std::string js_isLMSupportApi();
    static std::string js_isLMSupportApiForWallet();
    static std::string js_isLMSupportApiGeneralPastboard();
    static std::string js_getLMInstallURL();
    static std::string js_isLMAppSatisfy(const std::string& url);
    static std::int32_t js_handleWPAMessageShare(const std::string& url);
    static bool isPureInt(const std::string& text);
    static bool isNewLMBrowserInstall();
    static bool isOldLMBrowserInstall();
};
