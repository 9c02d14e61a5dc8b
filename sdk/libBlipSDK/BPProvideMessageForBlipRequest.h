#pragma once

#include "sdk/libBlipSDK/BPBaseRequest.h"

namespace blip {

// Blip asks this app for content; answered by a BPProvideMessageForBlipResponse.
class BPProvideMessageForBlipRequest : public BPBaseRequest {
public:
    std::string className() const override { return "BPProvideMessageForBlipRequest"; }
    bool canBeReceived() const override { return true; }
    std::shared_ptr<BPBaseResponse> makeResponse() const override;
};

}
