#pragma once

#include "sdk/libParleySDK/BaseReq.h"
#include "sdk/libParleySDK/BaseResp.h"
#include "sdk/libParleySDK/PXApiDelegate.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace pf {
class Url;
}

namespace parley {

class AppCommunicateData;

// The app's way to the Parley app on the same device: registration, sending a request or a
// response, and taking what Parley sends back through the app's own scheme (its Parley id).
//
// Rules:
// - Main thread only. The registered id and the conversation account are kept for the process.
// - An empty id counts as none: registration answers false and writes nothing.
// - A send stages the record and then opens Parley; a record the codec refuses is neither
//   staged nor opened.
// - Only addresses that begin with "<id>://" are taken; before registration none is.
class PXApi {
public:
    static constexpr const char* kApiVersion = "1.4.2.1";
    static constexpr const char* kInstallUrl = "http://appstore.localhost/cn/app/id414478124?mt=8";

    static bool registerApp(const std::string& appID);
    static bool registerAppWithDescription(const std::string& appID, const std::optional<std::string>& description);
    static bool sendReq(const std::shared_ptr<BaseReq>& request);
    static bool sendResp(const std::shared_ptr<BaseResp>& response);
    static bool handleOpenURL(const pf::Url& url, const std::shared_ptr<PXApiDelegate>& delegate);
    static bool isPXAppInstalled();
    static bool isPXAppSupportApi();
    static std::string getPXAppInstallUrl() { return kInstallUrl; }
    static std::string getApiVersion() { return kApiVersion; }
    static bool openPXApp();
    static std::map<std::string, std::string> parseURLParams(const std::string& query);

    static std::optional<std::string> registeredAppID();
    // A new launch (`pf::ResetRegistry`) forgets the registration and the conversation account.

private:
    static bool stageAndOpen(AppCommunicateData& record, const std::string& extra);
};

}
