#pragma once

#include "sdk/lmconnect/lmapi/LMBaseReq.h"

#include <memory>

// The LM app asks for a content (type 0).
class GetMessageFromLMReq : public LMBaseReq {
public:
    static constexpr const char* kClassName = "GetMessageFromLMReq";
    std::string_view className() const override { return kClassName; }

    static std::shared_ptr<GetMessageFromLMReq> req() { return std::make_shared<GetMessageFromLMReq>(); }
};
