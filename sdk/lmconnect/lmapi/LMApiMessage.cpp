#include "sdk/lmconnect/lmapi/LMApiMessage.h"

#include "sdk/lmconnect/lmapi/LMApiObject.h"
#include "sdk/lmconnect/lmapi/LMApiObjectCoderImpl.h"

void LMApiMessage::encodeWithCoder(pf::KeyedArchiver& coder) const
{
    coder.encodeInteger("ApiVersion", kApiVersion);
    coder.encodeInteger("type", type);
    if (object) {
        LMApiObjectCoderImpl wrapper;
        wrapper.obj = object;
        // A content that cannot be archived refuses the message rather than leave it empty.
        std::string error;
        pf::Bytes archive = pf::KeyedArchiver::archivedData(wrapper, &error);
        if (archive.empty())
            coder.refuse("the content: " + error);
        else
            coder.encodeData("object", archive);
    }
}

std::shared_ptr<LMApiMessage> LMApiMessage::initWithCoder(pf::KeyedUnarchiver& coder)
{
    auto message = std::make_shared<LMApiMessage>();
    if (coder.decodeInteger("ApiVersion") < kApiVersion)
        return message;
    message->type = static_cast<std::uint32_t>(coder.decodeInteger("type"));
    if (auto data = coder.decodeData("object")) {
        if (auto wrapper = pf::KeyedUnarchiver::unarchivedObject<LMApiObjectCoderImpl>(*data, nullptr, coder.loneSurrogates()))
            message->object = wrapper->obj;
    }
    return message;
}
