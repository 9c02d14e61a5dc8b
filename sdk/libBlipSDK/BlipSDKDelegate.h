#pragma once

#include <memory>

namespace blip {

class BPBaseRequest;
class BPBaseResponse;

// What the app implements to hear from Blip: a request or a response that passed validation.
class BlipSDKDelegate {
public:
    virtual ~BlipSDKDelegate() = default;
    virtual void didReceiveBlipRequest(const std::shared_ptr<BPBaseRequest>& request) = 0;
    virtual void didReceiveBlipResponse(const std::shared_ptr<BPBaseResponse>& response) = 0;
};

}
