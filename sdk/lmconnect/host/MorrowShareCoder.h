#pragma once

#include "platform/foundation/Value.h"

#include <memory>

class LMApiMessage;
class LMBaseReq;

// What the script host needs to hand a LM share to the share script: which message a request
// sends and how the script reads that message. The host only parks the two and runs the
// script; the LM API, which knows its requests and messages, implements this, and the session
// gives it to every host it makes (`MROSDKJSBridge::setShareCoder`).
class MorrowShareCoder {
public:
    virtual ~MorrowShareCoder() = default;

    // The message a share request sends; none for a request that is no share.
    virtual std::shared_ptr<LMApiMessage> messageOfRequest(const std::shared_ptr<LMBaseReq>& req) const = 0;
    // The message as the share script reads it; its large data goes into the data pool and
    // its key into the description.
    virtual pf::Dictionary scriptDescription(const LMApiMessage& message) const = 0;
};
