#pragma once

#include "sdk/libParleySDK/BaseResp.h"

namespace parley {

// This app'\''s answer to a show-message request.
class ShowMessageFromPXResp : public BaseResp {
public:
};

}
