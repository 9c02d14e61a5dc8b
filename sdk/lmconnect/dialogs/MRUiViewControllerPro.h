#pragma once

#include "sdk/lmconnect/openapi/APIResponse.h"

#include "platform/foundation/Value.h"

#include <memory>

// A screen that takes new display data ({"nick": text}) and an upload's result.
class MRUiViewControllerPro {
public:
    virtual ~MRUiViewControllerPro() = default;
    virtual bool setViewControllerData(const pf::Value& data) = 0;
    virtual bool setViewControllerResponse(const std::shared_ptr<APIResponse>& response) = 0;
};
