#pragma once

#include "sdk/lmconnect/lmapi/LMBaseResp.h"

#include <memory>

class LMApiObject;

// The app's answer to a get request: the content (type 1).
class GetMessageFromLMResp : public LMBaseResp {
public:

    static std::shared_ptr<GetMessageFromLMResp> respWithContent(std::shared_ptr<LMApiObject> content)
    {
        auto resp = std::make_shared<GetMessageFromLMResp>();
        resp->message = std::move(content);
        return resp;
    }

    GetMessageFromLMResp() { type = 1; }
    std::shared_ptr<LMApiObject> message;
};
