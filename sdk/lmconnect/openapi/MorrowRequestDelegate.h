#pragma once

#include "sdk/lmconnect/openapi/MorrowError.h"

#include "platform/foundation/UrlResponse.h"
#include "platform/foundation/Value.h"

#include <memory>

class MorrowRequest;

// The events of one exchange, all on the main run loop; a delegate overrides those it wants.
class MorrowRequestDelegate {
public:
    virtual ~MorrowRequestDelegate() = default;

    virtual void requestLoading(const std::shared_ptr<MorrowRequest>& request) { }
    virtual void requestDidReceiveResponse(const std::shared_ptr<MorrowRequest>& request, const pf::UrlResponse& response) { }
    // A transport failure, or a refusal written in the reply.
    virtual void requestDidFailWithError(const std::shared_ptr<MorrowRequest>& request, const MorrowError& error) { }
    // The parsed reply (missing when the text did not parse) and its bytes.
    virtual void requestDidLoad(const std::shared_ptr<MorrowRequest>& request, const pf::Value& result, const pf::Bytes& data) { }
    // The reply's bytes, before they are parsed.
    virtual void requestDidLoadRawResponse(const std::shared_ptr<MorrowRequest>& request, const pf::Bytes& data) { }
};
