#pragma once

#include "platform/foundation/Value.h"

#include <memory>

class NetworkRequestor;

// The completion of a portal request: the whole reply, whatever its HTTP status. A transport
// failure never reaches the delegate.
class NetworkRequestorDelegate {
public:
    virtual ~NetworkRequestorDelegate() = default;

    // A delegate that does not override this is skipped.
    virtual void networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data) { }
};
