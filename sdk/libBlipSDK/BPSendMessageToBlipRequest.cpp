#include "sdk/libBlipSDK/BPSendMessageToBlipRequest.h"

#include "sdk/libBlipSDK/BPSendMessageToBlipResponse.h"

namespace blip {

std::optional<std::string> BPSendMessageToBlipRequest::validate() const
{
    if (!message)
        return "请求中的消息体不能为空";
    return message->validate();
}

void BPSendMessageToBlipRequest::storeToDictionary(pf::Dictionary& d) const
{
    BPBaseRequest::storeToDictionary(d);
    if (message)
        d.set("message", BPMessageObject::dictionaryWithMessage(*message));
}

void BPSendMessageToBlipRequest::loadFromDictionary(const pf::Dictionary& d)
{
    BPBaseRequest::loadFromDictionary(d);
    auto dictionary = dictionaryField(d, "message");
    message = dictionary ? BPMessageObject::messageWithDictionary(*dictionary) : nullptr;
}

std::shared_ptr<BPBaseResponse> BPSendMessageToBlipRequest::makeResponse() const
{
    return std::make_shared<BPSendMessageToBlipResponse>();
}

}
