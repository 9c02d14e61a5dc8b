#pragma once

#include "sdk/lmconnect/lmapi/LMBaseResp.h"

#include <memory>

// The LM app's answer to a share (type 2).
class SendMessageToLMResp : public LMBaseResp {
public:

    static std::shared_ptr<SendMessageToLMResp> respWithResult(std::string result, std::string errorDescription, std::string extendInfo)
    {
        auto resp = std::make_shared<SendMessageToLMResp>();
        resp->result = std::move(result);
        resp->errorDescription = std::move(errorDescription);
        resp->extendInfo = std::move(extendInfo);
        return resp;
    }

    SendMessageToLMResp() { type = 2; }
};
