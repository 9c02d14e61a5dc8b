#pragma once

#include "sdk/libBlipSDK/BPBaseResponse.h"

namespace blip {

// The outcome of an authorisation: on success the user, the token and when it expires.
class BPAuthorizeResponse : public BPBaseResponse {
public:
    static std::shared_ptr<BPAuthorizeResponse> response() { return std::make_shared<BPAuthorizeResponse>(); }

    std::optional<std::string> userID;
    std::optional<std::string> accessToken;
    std::optional<pf::Date> expirationDate;

    std::string className() const override { return "BPAuthorizeResponse"; }
    bool canBeReceived() const override { return true; }
    std::optional<std::string> validate() const override;
    void storeToDictionary(pf::Dictionary& dictionary) const override;
    void loadFromDictionary(const pf::Dictionary& dictionary) override;
};

}
