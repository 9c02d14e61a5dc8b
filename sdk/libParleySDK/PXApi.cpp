#include "sdk/libParleySDK/PXApi.h"

#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/QueryString.h"
#include "platform/foundation/Url.h"
#include "sdk/libParleySDK/AppCommunicate.h"
#include "sdk/libParleySDK/AppCommunicateData.h"
#include "sdk/libParleySDK/GetMessageFromPXReq.h"
#include "sdk/libParleySDK/LaunchFromPXReq.h"
#include "sdk/libParleySDK/PXApiRegister.h"
#include "sdk/libParleySDK/ParleyApiUtil.h"
#include "sdk/libParleySDK/SendMessageToPXResp.h"
#include "sdk/libParleySDK/ShowMessageFromPXReq.h"

namespace parley {

namespace {

struct State {
    std::optional<std::string> appID;
    std::optional<std::string> conversationAccount;
};

State& state()
{
    // A new launch forgets the registration and what was kept with it.
    static State& s = [] () -> State& {
        static State made;
        pf::ResetRegistry::add([] { made = State {}; });
        return made;
    }();
    return s;
}

}

std::optional<std::string> PXApi::registeredAppID()
{
    return state().appID;
}

bool PXApi::registerApp(const std::string& appID)
{
    return registerAppWithDescription(appID, std::nullopt);
}

bool PXApi::registerAppWithDescription(const std::string& appID, const std::optional<std::string>& description)
{
    if (appID.empty())
        return false;
    state().appID = appID;
    return PXApiRegister::registerAppWithDescription(appID, description);
}

bool PXApi::stageAndOpen(AppCommunicateData& record, const std::string& extra)
{
    const auto& appID = state().appID;
    if (!appID || !AppCommunicate::setAppCommunicateData(record, *appID))
        return false;
    state().conversationAccount.reset();
    return ParleyApiUtil::openURL(ParleyApiUtil::getParleyUrl(*appID, extra));
}

bool PXApi::sendReq(const std::shared_ptr<BaseReq>& request)
{
    if (!request)
        return false;
    AppCommunicateData record;
    record.conversationAccount = state().conversationAccount;
    if (!record.reqToData(request))
        return false;
    return stageAndOpen(record, "sendreq/?");
}

bool PXApi::sendResp(const std::shared_ptr<BaseResp>& response)
{
    if (!response)
        return false;
    AppCommunicateData record;
    record.conversationAccount = state().conversationAccount;
    record.returnFromApp = true;
    record.result = response->errCode;
    if (!record.respToData(response))
        return false;
    return stageAndOpen(record, "sendresp/?");
}

bool PXApi::handleOpenURL(const pf::Url& url, const std::shared_ptr<PXApiDelegate>& delegate)
{
    const auto& appID = state().appID;
    if (!delegate || !appID || !ParleyApiUtil::isAppOpenUrl(url.absoluteString(), *appID))
        return false;
    auto record = AppCommunicate::appCommunicateDataForAppID(*appID);
    if (!record)
        return false;
    state().conversationAccount = record->conversationAccount;
    switch (record->command) {
    case AppCommunicateData::kCommandMediaMessage:
    case AppCommunicateData::kCommandGetMessageReq:
    case AppCommunicateData::kCommandLaunchReq: {
        auto request = record->dataToReq();
        if (!request)
            return false;
        delegate->onReq(request);
        return true;
    }
    case AppCommunicateData::kCommandSendMessageRespOld:
    case AppCommunicateData::kCommandSendMessageResp: {
        auto response = record->dataToResp();
        if (!response)
            return false;
        delegate->onResp(response);
        return true;
    }
    default:
        return true;
    }
}

bool PXApi::isPXAppInstalled()
{
    const auto& appID = state().appID;
    return appID && ParleyApiUtil::canOpenURL(ParleyApiUtil::getParleyUrl(*appID));
}

bool PXApi::isPXAppSupportApi()
{
    return ParleyApiUtil::isPXAppSupportApi();
}

bool PXApi::openPXApp()
{
    state().conversationAccount.reset();
    const auto& appID = state().appID;
    return appID && ParleyApiUtil::openURL(ParleyApiUtil::getParleyUrl(*appID));
}

std::map<std::string, std::string> PXApi::parseURLParams(const std::string& query)
{
    // Names and values as written; a piece without "=" names a parameter with an empty value.
    const pf::QueryString::Rules rules { .names = pf::QueryString::Escapes::Kept, .values = pf::QueryString::Escapes::Kept };
    std::map<std::string, std::string> params;
    for (auto& item : pf::QueryString::parse(query, rules))
        params[std::move(item.name)] = item.value.value_or("");
    return params;
}

}
