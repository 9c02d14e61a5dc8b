#pragma once

#include "sdk/lmconnect/lmapi/LMApiExtendObject.h"

// A picture to share; made with LMApiExtendObject::objectWithData<LMApiImageObject>(...).
class LMApiImageObject : public LMApiExtendObject {
public:
    static constexpr const char* kClassName = "LMApiImageObject";
    std::string_view className() const override { return kClassName; }
};
