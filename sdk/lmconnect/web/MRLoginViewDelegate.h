#pragma once

#include "platform/foundation/UrlError.h"

#include <optional>
#include <string>

class MRLoginViewKit;

// What a web sign-in reports, with the sign-in's serial. A failure without an error means the
// user cancelled. Both operations are optional.
class MRLoginViewDelegate {
public:
    virtual ~MRLoginViewDelegate() = default;
    virtual void loginViewKitDidSucceedLogin(MRLoginViewKit&, const std::string& serial) { }
    virtual void loginViewKitDidFailuredWithError(MRLoginViewKit&, const std::optional<pf::UrlError>& error, const std::string& serial) { }
};
