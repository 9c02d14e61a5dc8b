#pragma once

#include "sdk/lmconnect/lmapi/LMApiObject.h"

#include <memory>

class LMApiTextObject : public LMApiObject {
public:
    static constexpr const char* kClassName = "LMApiTextObject";
    std::string_view className() const override { return kClassName; }

    static std::shared_ptr<LMApiTextObject> objectWithText(std::string text)
    {
        auto object = std::make_shared<LMApiTextObject>();
        object->text = std::move(text);
        return object;
    }

    std::string text;
};
