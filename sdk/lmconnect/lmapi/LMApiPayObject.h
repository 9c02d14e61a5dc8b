#pragma once

#include "sdk/lmconnect/lmapi/LMApiObject.h"

#include <memory>

class LMApiPayObject : public LMApiObject {
public:
    static constexpr const char* kClassName = "LMApiPayObject";
    std::string_view className() const override { return kClassName; }

    static std::shared_ptr<LMApiPayObject> objectWithOrderNo(std::string orderNo)
    {
        auto object = std::make_shared<LMApiPayObject>();
        object->OrderNo = std::move(orderNo);
        return object;
    }

    std::string OrderNo;
};
