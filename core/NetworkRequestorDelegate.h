#pragma once

#include "platform/foundation/UrlError.h"
#include "platform/foundation/Value.h"

#include <memory>

class NetworkRequestor;

// The completion of a portal request: the whole reply, whatever its HTTP status, or the
// transport failure that ended it.
class NetworkRequestorDelegate {
public:
    virtual ~NetworkRequestorDelegate() = default;

    // A delegate that does not override this is skipped.
    virtual void networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data) { }
    // The request ended without a reply (no connection, a time-out, a cut or oversized
    // reply). Optional: a delegate that only cares about replies ignores it.
    virtual void networkRequestorDidFailWithError(const std::shared_ptr<NetworkRequestor>& requestor, const pf::UrlError& error) { }
};
