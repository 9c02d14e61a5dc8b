#include "sdk/libBlipSDK/BPBaseResponse.h"

#include "sdk/libBlipSDK/BPAuthorizeResponse.h"
#include "sdk/libBlipSDK/BPBaseRequest.h"
#include "sdk/libBlipSDK/BPProvideMessageForBlipResponse.h"
#include "sdk/libBlipSDK/BPSendMessageToBlipResponse.h"
#include "sdk/libBlipSDK/BlipSDK.h"

#include <functional>
#include <map>

namespace blip {

std::optional<std::string> BPBaseResponse::validateBeforeSend() const
{
    if (statusCode != kStatusSuccess)
        return std::nullopt;
    return BPDataTransferObject::validateBeforeSend();
}

std::optional<std::string> BPBaseResponse::validateAfterReceive() const
{
    if (statusCode != kStatusSuccess)
        return std::nullopt;
    return BPDataTransferObject::validateAfterReceive();
}

void BPBaseResponse::storeToDictionary(pf::Dictionary& d) const
{
    BPDataTransferObject::storeToDictionary(d);
    if (responseID)
        d.set("responseID", *responseID);
    if (requestID)
        d.set("requestID", *requestID);
    d.set("statusCode", statusCode);
}

void BPBaseResponse::loadFromDictionary(const pf::Dictionary& d)
{
    BPDataTransferObject::loadFromDictionary(d);
    responseID = textField(d, "responseID");
    requestID = textField(d, "requestID");
    const pf::Value* status = d.find("statusCode");
    // Whole or real numbers count (a real one is cut to a whole one, within range); any other type is no status.
    bool number = status && (status->asInteger() || status->asReal());
    statusCode = number ? status->longValue() : 0;
}

void BPBaseResponse::removeFromPasteboard() const
{
    BPDataTransferObject::removeFromPasteboard();
    if (requestID)
        removeFromPasteboardWithID("request", *requestID);
}

std::shared_ptr<BPBaseResponse> BPBaseResponse::mappedObjectWithDictionary(const pf::Dictionary& d)
{
    static const std::map<std::string, std::function<std::shared_ptr<BPBaseResponse>()>> registry {
        { "BPBaseResponse", [] { return std::make_shared<BPBaseResponse>(); } },
        { "BPAuthorizeResponse", [] { return std::make_shared<BPAuthorizeResponse>(); } },
        { "BPSendMessageToBlipResponse", [] { return std::make_shared<BPSendMessageToBlipResponse>(); } },
        { "BPProvideMessageForBlipResponse", [] { return std::make_shared<BPProvideMessageForBlipResponse>(); } },
    };
    auto name = textField(d, "__class");
    auto found = name ? registry.find(*name) : registry.end();
    if (found == registry.end())
        return nullptr;
    auto response = found->second();
    response->loadFromDictionary(d);
    return response;
}

std::shared_ptr<BPBaseResponse> BPBaseResponse::objectFromPasteboardWithID(const std::string& id)
{
    auto items = readItems("response", id);
    if (!items || !items->object)
        return nullptr;
    auto response = mappedObjectWithDictionary(*items->object);
    if (!response || response->objectID() != id)
        return nullptr;
    response->adoptItems(*items);
    if (response->requestID) {
        auto request = BPBaseRequest::objectFromPasteboardWithID(*response->requestID);
        if (request)
            response->requestUserInfo = request->userInfo;
        else if (!BlipSDK::canAccessPrivatePasteboard())
            response->requestUserInfo = BlipSDK::takeCachedRequestUserInfo(*response->requestID);
    }
    return response;
}

}
