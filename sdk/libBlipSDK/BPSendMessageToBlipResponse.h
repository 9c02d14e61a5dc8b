#pragma once

#include "sdk/libBlipSDK/BPBaseResponse.h"

namespace blip {

// Blip's answer to a share.
class BPSendMessageToBlipResponse : public BPBaseResponse {
public:
    static std::shared_ptr<BPSendMessageToBlipResponse> response() { return std::make_shared<BPSendMessageToBlipResponse>(); }

    std::string className() const override { return "BPSendMessageToBlipResponse"; }
    bool canBeReceived() const override { return true; }
};

}
