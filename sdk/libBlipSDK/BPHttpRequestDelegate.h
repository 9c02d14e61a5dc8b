#pragma once

#include "platform/foundation/Value.h"

#include <optional>
#include <string>

namespace pf {
struct UrlError;
class UrlResponse;
}

namespace blip {

class BPHttpRequest;

// Hears how a BPHttpRequest ends; every call is optional. A finished reply comes as its bytes,
// then as UTF-8 text (none when the bytes are not UTF-8), whatever its HTTP status.
class BPHttpRequestDelegate {
public:
    virtual ~BPHttpRequestDelegate() = default;
    virtual void requestDidReceiveResponse(BPHttpRequest&, const pf::UrlResponse&) { }
    virtual void requestDidFinishLoadingWithDataResult(BPHttpRequest&, const pf::Bytes&) { }
    virtual void requestDidFinishLoadingWithResult(BPHttpRequest&, const std::optional<std::string>&) { }
    virtual void requestDidFailWithError(BPHttpRequest&, const pf::UrlError&) { }
};

}
