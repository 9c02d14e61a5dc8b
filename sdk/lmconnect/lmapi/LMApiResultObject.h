#pragma once

#include "sdk/lmconnect/lmapi/LMApiObject.h"

// The LM app's (or our) answer to a request: `error` is a decimal result code.
class LMApiResultObject : public LMApiObject {
public:
    static constexpr const char* kClassName = "LMApiResultObject";
    std::string_view className() const override { return kClassName; }

    std::string error;
    std::string errorDescription;
    std::string extendInfo;
};
