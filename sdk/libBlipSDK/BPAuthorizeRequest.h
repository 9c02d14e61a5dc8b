#pragma once

#include "sdk/libBlipSDK/BPBaseRequest.h"

namespace blip {

// Asks the user to let this app act for them; answered by a BPAuthorizeResponse.
class BPAuthorizeRequest : public BPBaseRequest {
public:
    static std::shared_ptr<BPAuthorizeRequest> request() { return std::make_shared<BPAuthorizeRequest>(); }

    std::optional<std::string> redirectURI;
    std::optional<std::string> scope;

    std::string className() const override { return "BPAuthorizeRequest"; }
    bool canBeSent() const override { return true; }
    std::optional<std::string> validate() const override;
    void storeToDictionary(pf::Dictionary& dictionary) const override;
    void loadFromDictionary(const pf::Dictionary& dictionary) override;
    std::shared_ptr<BPBaseResponse> makeResponse() const override;
};

}
