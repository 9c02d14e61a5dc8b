#pragma once

#include "sdk/libBlipSDK/BPBaseResponse.h"
#include "sdk/libBlipSDK/BPMessageObject.h"

namespace blip {

// The content this app gives Blip when asked.
class BPProvideMessageForBlipResponse : public BPBaseResponse {
public:
    static std::shared_ptr<BPProvideMessageForBlipResponse> responseWithMessage(std::shared_ptr<BPMessageObject> message)
    {
        auto response = std::make_shared<BPProvideMessageForBlipResponse>();
        response->message = std::move(message);
        return response;
    }

    std::shared_ptr<BPMessageObject> message;

    std::string className() const override { return "BPProvideMessageForBlipResponse"; }
    bool canBeSent() const override { return true; }
    std::optional<std::string> validate() const override;
    void storeToDictionary(pf::Dictionary& dictionary) const override;
    void loadFromDictionary(const pf::Dictionary& dictionary) override;
};

}
