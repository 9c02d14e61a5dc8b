#include "sdk/lmconnect/lmapi/LMApiInterface.h"

#include "sdk/lmconnect/lmapi/GetMessageFromLMReq.h"
#include "sdk/lmconnect/lmapi/GetMessageFromLMResp.h"
#include "sdk/lmconnect/lmapi/JSLMApi.h"
#include "sdk/lmconnect/lmapi/LMApi.h"
#include "sdk/lmconnect/lmapi/LMApiInterfaceDelegate.h"
#include "sdk/lmconnect/lmapi/LMApiMessage.h"
#include "sdk/lmconnect/lmapi/LMApiResultObject.h"
#include "sdk/lmconnect/lmapi/SendMessageToLMReq.h"
#include "sdk/lmconnect/lmapi/SendMessageToLMResp.h"
#include "sdk/lmconnect/lmapi/ShowMessageFromLMReq.h"
#include "sdk/lmconnect/lmapi/ShowMessageFromLMResp.h"

#include <typeinfo>

LMApiSendResultCode LMApiInterface::sendReq(const std::shared_ptr<LMBaseReq>& req)
{
    if (!req || req->type != 1)
        return kFailed;
    return sendMessageToLMWithReq(req);
}

LMApiSendResultCode LMApiInterface::sendMessageToLMWithReq(const std::shared_ptr<LMBaseReq>& req)
{
    return sendWithType(req, LMApiMessage::SendToLM);
}

LMApiSendResultCode LMApiInterface::SendReqToLZone(const std::shared_ptr<LMBaseReq>& req)
{
    if (!req || req->type != 1)
        return kFailed;
    return sendMessageToLMLZoneWithReq(req);
}

LMApiSendResultCode LMApiInterface::sendMessageToLMLZoneWithReq(const std::shared_ptr<LMBaseReq>& req)
{
    return sendWithType(req, LMApiMessage::SendToLZone);
}

LMApiSendResultCode LMApiInterface::sendWithType(const std::shared_ptr<LMBaseReq>& req, std::uint32_t type)
{
    if (!req)
        return kFailed;
    const LMBaseReq& request = *req; // typeid of the object itself, not of a call
    if (typeid(request) != typeid(SendMessageToLMReq))
        return kFailed;
    auto content = std::static_pointer_cast<SendMessageToLMReq>(req)->message;
    if (!content)
        return kEmptyContent;
    return JSLMApi::js_sendMessageToLM(LMApiMessage::messageWithObject(content, type));
}

LMApiSendResultCode LMApiInterface::sendResp(const std::shared_ptr<LMBaseResp>& resp)
{
    if (!resp)
        return kFailed;
    if (resp->type == 0)
        return sendShowMessageFromLMResp(resp);
    if (resp->type == 1)
        return sendGetMessageFromLMResp(resp);
    return kFailed;
}

LMApiSendResultCode LMApiInterface::sendGetMessageFromLMResp(const std::shared_ptr<LMBaseResp>& resp)
{
    if (!resp)
        return kFailed;
    const LMBaseResp& response = *resp; // typeid of the object itself, not of a call
    if (typeid(response) != typeid(GetMessageFromLMResp))
        return kFailed;
    auto content = std::static_pointer_cast<GetMessageFromLMResp>(resp)->message;
    return responseToGetMessageFromLM(LMApiMessage::messageWithObject(content, LMApiMessage::GetAnswer));
}

LMApiSendResultCode LMApiInterface::sendShowMessageFromLMResp(const std::shared_ptr<LMBaseResp>& resp)
{
    if (!resp)
        return kFailed;
    const LMBaseResp& response = *resp; // typeid of the object itself, not of a call
    if (typeid(response) != typeid(ShowMessageFromLMResp))
        return kFailed;
    auto result = std::make_shared<LMApiResultObject>();
    result->error = resp->result;
    result->errorDescription = resp->errorDescription;
    return responseToShowMessageFromLM(LMApiMessage::messageWithObject(result, LMApiMessage::ShowAnswer));
}

LMApiSendResultCode LMApiInterface::SendMessageToLMRequest(const std::shared_ptr<LMApiMessage>& message) { return LMApi::sendMessage(message); }
LMApiSendResultCode LMApiInterface::responseToGetMessageFromLM(const std::shared_ptr<LMApiMessage>& message) { return LMApi::sendMessage(message); }
LMApiSendResultCode LMApiInterface::responseToShowMessageFromLM(const std::shared_ptr<LMApiMessage>& message) { return LMApi::sendMessage(message); }

bool LMApiInterface::handleOpenURL(const pf::Url& url, const std::shared_ptr<LMApiInterfaceDelegate>& delegate)
{
    auto message = LMApi::handleOpenURL(url);
    if (!message)
        return false;
    switch (message->type) {
    case LMApiMessage::ShowFromLM:
        showMessageRequestFromLM(message->object, delegate);
        return true;
    case LMApiMessage::GetFromLM:
        getMessageRequestFromLM(delegate);
        return true;
    case LMApiMessage::ShowAnswer:
        responseToShowMessageFromLM(message);
        return true;
    case LMApiMessage::GetAnswer:
        responseToGetMessageFromLM(message);
        return true;
    case LMApiMessage::SendToLM:
        SendMessageToLMRequest(message);
        return true;
    case LMApiMessage::AnswerFromLM:
        return responseToSendMessageToLM(message->object, delegate);
    default:
        return false;
    }
}

bool LMApiInterface::responseToSendMessageToLM(const std::shared_ptr<LMApiObject>& content, const std::shared_ptr<LMApiInterfaceDelegate>& delegate)
{
    if (!content)
        return false;
    const LMApiObject& object = *content; // typeid of the object itself, not of a call
    if (typeid(object) != typeid(LMApiResultObject))
        return false;
    auto result = std::static_pointer_cast<LMApiResultObject>(content);
    if (delegate)
        delegate->onResp(SendMessageToLMResp::respWithResult(result->error, result->errorDescription, result->extendInfo));
    return true;
}

void LMApiInterface::showMessageRequestFromLM(const std::shared_ptr<LMApiObject>& content, const std::shared_ptr<LMApiInterfaceDelegate>& delegate)
{
    if (delegate)
        delegate->onReq(ShowMessageFromLMReq::reqWithContent(content));
}

void LMApiInterface::getMessageRequestFromLM(const std::shared_ptr<LMApiInterfaceDelegate>& delegate)
{
    if (delegate)
        delegate->onReq(GetMessageFromLMReq::req());
}

bool LMApiInterface::isLMInstalled() { return LMApi::isLMInstalled(); }
bool LMApiInterface::isLMSupportApi() { return LMApi::isLMSupportApi(); }
bool LMApiInterface::openLM() { return LMApi::openLMApp(); }
std::string LMApiInterface::getLMInstallUrl() { return LMApi::getLMInstallURL(); }

void LMApiInterface::getLMUinOnlineStatues(const std::vector<std::string>& uins, std::weak_ptr<LMApiInterfaceDelegate> delegate)
{
    LMApi::getLMUinOnlineStatues(uins, std::move(delegate));
}
