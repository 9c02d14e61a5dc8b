#include "sdk/libBlipSDK/BPProvideMessageForBlipRequest.h"

#include "sdk/libBlipSDK/BPProvideMessageForBlipResponse.h"

namespace blip {

std::shared_ptr<BPBaseResponse> BPProvideMessageForBlipRequest::makeResponse() const
{
    return std::make_shared<BPProvideMessageForBlipResponse>();
}

}
