#include "sdk/libBlipSDK/BPBaseRequest.h"

#include "sdk/libBlipSDK/BPAuthorizeRequest.h"
#include "sdk/libBlipSDK/BPBaseResponse.h"
#include "sdk/libBlipSDK/BPProvideMessageForBlipRequest.h"
#include "sdk/libBlipSDK/BPSendMessageToBlipRequest.h"

#include <functional>
#include <map>

namespace blip {

void BPBaseRequest::storeToDictionary(pf::Dictionary& d) const
{
    BPDataTransferObject::storeToDictionary(d);
    if (requestID)
        d.set("requestID", *requestID);
}

void BPBaseRequest::loadFromDictionary(const pf::Dictionary& d)
{
    BPDataTransferObject::loadFromDictionary(d);
    requestID = textField(d, "requestID");
}

std::shared_ptr<BPBaseResponse> BPBaseRequest::makeResponse() const
{
    return std::make_shared<BPBaseResponse>();
}

bool BPBaseRequest::canAssociateWithResponse(const BPBaseResponse& response) const
{
    if (makeResponse()->className() != response.className())
        return false;
    if (!app && !response.app)
        return true;
    return app && response.app && app->isEqual(*response.app);
}

std::shared_ptr<BPBaseRequest> BPBaseRequest::mappedObjectWithDictionary(const pf::Dictionary& d)
{
    static const std::map<std::string, std::function<std::shared_ptr<BPBaseRequest>()>> registry {
        { "BPBaseRequest", [] { return std::make_shared<BPBaseRequest>(); } },
        { "BPAuthorizeRequest", [] { return std::make_shared<BPAuthorizeRequest>(); } },
        { "BPSendMessageToBlipRequest", [] { return std::make_shared<BPSendMessageToBlipRequest>(); } },
        { "BPProvideMessageForBlipRequest", [] { return std::make_shared<BPProvideMessageForBlipRequest>(); } },
    };
    auto name = textField(d, "__class");
    auto found = name ? registry.find(*name) : registry.end();
    if (found == registry.end())
        return nullptr;
    auto request = found->second();
    request->loadFromDictionary(d);
    return request;
}

std::shared_ptr<BPBaseRequest> BPBaseRequest::objectFromPasteboardWithID(const std::string& id)
{
    auto items = readItems("request", id);
    if (!items || !items->object)
        return nullptr;
    auto request = mappedObjectWithDictionary(*items->object);
    if (!request || request->objectID() != id)
        return nullptr;
    request->adoptItems(*items);
    return request;
}

}
