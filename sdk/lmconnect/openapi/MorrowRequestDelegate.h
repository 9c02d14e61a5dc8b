#pragma once

#include "sdk/lmconnect/openapi/MorrowError.h"

#include "platform/foundation/UrlResponse.h"
#include "platform/foundation/Value.h"

#include <cstdint>
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
    // Upload progress: bytes of the body sent since the last call, so far, and in all.
    virtual void requestDidSendBodyData(const std::shared_ptr<MorrowRequest>& request, std::int64_t bytesWritten,
        std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite) { }
    // Download progress: bytes of the reply received since the last call, so far, and expected
    // (0 while unknown).
    virtual void requestDidWriteData(const std::shared_ptr<MorrowRequest>& request, std::int64_t bytesWritten,
        std::int64_t totalBytesWritten, std::int64_t expectedTotalBytes) { }
};
