#pragma once

#include "sdk/libParleySDK/BaseReq.h"
#include "sdk/libParleySDK/BaseResp.h"

#include <memory>

namespace parley {

// What hears the messages Parley sends back; both calls are optional.
class PXApiDelegate {
public:
    virtual ~PXApiDelegate() = default;
    virtual void onReq(const std::shared_ptr<BaseReq>& /*request*/) { }
    virtual void onResp(const std::shared_ptr<BaseResp>& /*response*/) { }
};

}
