#include "sdk/libBlipSDK/BPProvideMessageForBlipResponse.h"

namespace blip {

std::optional<std::string> BPProvideMessageForBlipResponse::validate() const
{
    if (!message)
        return "响应中的消息体不能为空";
    return message->validate();
}

void BPProvideMessageForBlipResponse::storeToDictionary(pf::Dictionary& d) const
{
    BPBaseResponse::storeToDictionary(d);
    if (message)
        d.set("message", BPMessageObject::dictionaryWithMessage(*message));
}

void BPProvideMessageForBlipResponse::loadFromDictionary(const pf::Dictionary& d)
{
    BPBaseResponse::loadFromDictionary(d);
    auto dictionary = dictionaryField(d, "message");
    message = dictionary ? BPMessageObject::messageWithDictionary(*dictionary) : nullptr;
}

}
