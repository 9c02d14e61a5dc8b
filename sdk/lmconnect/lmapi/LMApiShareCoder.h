#pragma once

#include "sdk/lmconnect/host/MorrowShareCoder.h"

#include <memory>

// The LM share's coder for the script host: a SendMessageToLMReq sends its content as a message
// of type 5, and a message is described to the share script by the fields it reads.
class LMApiShareCoder : public MorrowShareCoder {
public:
    // The one coder; it holds nothing.
    static std::shared_ptr<const LMApiShareCoder> shared();

    std::shared_ptr<LMApiMessage> messageOfRequest(const std::shared_ptr<LMBaseReq>& req) const override;
    pf::Dictionary scriptDescription(const LMApiMessage& message) const override { return shareMessageJSON(message); }

    // The message as the share script reads it; the message's large data goes into the data
    // pool and its key into "key_ImageDataArray".
    static pf::Dictionary shareMessageJSON(const LMApiMessage& message);
};
