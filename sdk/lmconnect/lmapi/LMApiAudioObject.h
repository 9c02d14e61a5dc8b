#pragma once

#include "sdk/lmconnect/lmapi/LMApiURLObject.h"

class LMApiAudioObject : public LMApiURLObjectKind<LMApiAudioObject, LMApiURLObject::Audio> {
public:
    static constexpr const char* kClassName = "LMApiAudioObject";
    std::string_view className() const override { return kClassName; }

    std::string flashURL;
};
