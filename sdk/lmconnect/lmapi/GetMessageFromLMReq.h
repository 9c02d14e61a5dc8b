#pragma once

#include "sdk/lmconnect/lmapi/LMBaseReq.h"

#include <memory>

// The LM app asks for a content (type 0).
class GetMessageFromLMReq : public LMBaseReq {
public:

    static std::shared_ptr<GetMessageFromLMReq> req() { return std::make_shared<GetMessageFromLMReq>(); }
};
