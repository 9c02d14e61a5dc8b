#pragma once

#include "platform/foundation/Value.h"

#include <optional>
#include <string>
#include <vector>

// What a sign-in tells whoever started it: done (token, open id and expiry are set), not done
// (cancelled by the user or failed), or no network; and, before it starts, the chance to ask
// for other permissions. Every operation has a default that does nothing.
class MorrowLoginDelegate {
public:
    virtual ~MorrowLoginDelegate() = default;

    virtual void morrowDidLogin() { }
    virtual void morrowDidNotLogin(bool cancelled) { }
    virtual void morrowDidNotNetWork() { }
    // The permissions to ask for instead of those given; none keeps them.
    virtual std::optional<std::vector<std::string>> getAuthorizedPermissions(const std::vector<std::string>& permissions,
        const pf::Value& extraParams) { return std::nullopt; }
};
