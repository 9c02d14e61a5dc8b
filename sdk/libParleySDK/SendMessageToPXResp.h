#pragma once

#include "sdk/libParleySDK/BaseResp.h"

namespace parley {

// Parley'\''s answer to a send request; errCode is its result.
class SendMessageToPXResp : public BaseResp {
public:
};

}
