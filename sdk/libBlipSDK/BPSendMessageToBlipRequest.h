#pragma once

#include "sdk/libBlipSDK/BPBaseRequest.h"
#include "sdk/libBlipSDK/BPMessageObject.h"

namespace blip {

// Asks Blip to share a message; answered by a BPSendMessageToBlipResponse.
class BPSendMessageToBlipRequest : public BPBaseRequest {
public:
    static std::shared_ptr<BPSendMessageToBlipRequest> requestWithMessage(std::shared_ptr<BPMessageObject> message)
    {
        auto request = std::make_shared<BPSendMessageToBlipRequest>();
        request->message = std::move(message);
        return request;
    }

    std::shared_ptr<BPMessageObject> message;

    std::string className() const override { return "BPSendMessageToBlipRequest"; }
    bool canBeSent() const override { return true; }
    std::optional<std::string> validate() const override;
    void storeToDictionary(pf::Dictionary& dictionary) const override;
    void loadFromDictionary(const pf::Dictionary& dictionary) override;
    std::shared_ptr<BPBaseResponse> makeResponse() const override;
};

}
