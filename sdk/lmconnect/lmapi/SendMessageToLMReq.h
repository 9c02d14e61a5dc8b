#pragma once

#include "sdk/lmconnect/lmapi/LMBaseReq.h"

#include <memory>

class LMApiObject;

// A content to send to the LM app (type 1).
class SendMessageToLMReq : public LMBaseReq {
public:

    static std::shared_ptr<SendMessageToLMReq> reqWithContent(std::shared_ptr<LMApiObject> content)
    {
        auto req = std::make_shared<SendMessageToLMReq>();
        req->message = std::move(content);
        return req;
    }

    SendMessageToLMReq() { type = 1; }
    std::shared_ptr<LMApiObject> message;
};
