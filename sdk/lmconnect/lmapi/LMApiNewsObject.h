#pragma once

#include "sdk/lmconnect/lmapi/LMApiURLObject.h"

// A news page: what the app shares (a gift's page, title, text and picture).
class LMApiNewsObject : public LMApiURLObjectKind<LMApiNewsObject, LMApiURLObject::News> {
public:
    static constexpr const char* kClassName = "LMApiNewsObject";
    std::string_view className() const override { return kClassName; }
};
