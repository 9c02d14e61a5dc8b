#pragma once

#include "sdk/libParleySDK/BaseReq.h"

namespace parley {

// Parley started this app.
class LaunchFromPXReq : public BaseReq {
public:
};

}
