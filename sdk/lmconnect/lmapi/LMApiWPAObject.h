#pragma once

#include "sdk/lmconnect/lmapi/LMApiObject.h"

#include <memory>

// A chat with one LM number.
class LMApiWPAObject : public LMApiObject {
public:
    static constexpr const char* kClassName = "LMApiWPAObject";
    std::string_view className() const override { return kClassName; }

    static std::shared_ptr<LMApiWPAObject> objectWithUin(std::string uin)
    {
        auto object = std::make_shared<LMApiWPAObject>();
        object->uin = std::move(uin);
        return object;
    }

    std::string uin;
};
