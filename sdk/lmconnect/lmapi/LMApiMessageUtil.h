#pragma once

#include "sdk/lmconnect/lmapi/LMApiMessageAndUrlConverter.h"

// The message of an incoming LM address; outgoing addresses are the share script's, so there
// is never one for a message.
class LMApiMessageUtil {
public:
    static std::shared_ptr<LMApiMessage> messageWithURL(const pf::Url& url) { return LMApiMessageAndUrlConverter::messageWithUrl(url); }
    static std::optional<pf::Url> URLWithMessage(const std::shared_ptr<LMApiMessage>& message)
    {
        return LMApiMessageAndUrlConverter::urlWithMessage(message);
    }
};
