#pragma once

#include "sdk/lmconnect/lmapi/LMBaseResp.h"

#include <memory>

// The app's answer to a show request (type 0).
class ShowMessageFromLMResp : public LMBaseResp {
public:

    static std::shared_ptr<ShowMessageFromLMResp> respWithResult(std::string result, std::string errorDescription)
    {
        auto resp = std::make_shared<ShowMessageFromLMResp>();
        resp->result = std::move(result);
        resp->errorDescription = std::move(errorDescription);
        return resp;
    }
};
