#pragma once

#include "sdk/lmconnect/lmapi/LMBaseReq.h"

#include <memory>

class LMApiObject;

// The LM app asks the app to show a content (type 2).
class ShowMessageFromLMReq : public LMBaseReq {
public:

    static std::shared_ptr<ShowMessageFromLMReq> reqWithContent(std::shared_ptr<LMApiObject> content)
    {
        auto req = std::make_shared<ShowMessageFromLMReq>();
        req->message = std::move(content);
        return req;
    }

    ShowMessageFromLMReq() { type = 2; }
    std::shared_ptr<LMApiObject> message;
};
