#pragma once

#include "sdk/libParleySDK/BaseReq.h"

#include "sdk/libParleySDK/PXMediaMessage.h"

#include <memory>

namespace parley {

// Parley asks this app to show a message it sent earlier.
class ShowMessageFromPXReq : public BaseReq {
public:
    std::shared_ptr<PXMediaMessage> message;
};

}
