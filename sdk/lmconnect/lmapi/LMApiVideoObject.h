#pragma once

#include "sdk/lmconnect/lmapi/LMApiURLObject.h"

class LMApiVideoObject : public LMApiURLObjectKind<LMApiVideoObject, LMApiURLObject::Video> {
public:
    static constexpr const char* kClassName = "LMApiVideoObject";
    std::string_view className() const override { return kClassName; }

    std::string flashURL;
};
