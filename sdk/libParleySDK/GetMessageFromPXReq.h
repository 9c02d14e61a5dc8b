#pragma once

#include "sdk/libParleySDK/BaseReq.h"

namespace parley {

// Parley asks this app for content.
class GetMessageFromPXReq : public BaseReq {
public:
};

}
