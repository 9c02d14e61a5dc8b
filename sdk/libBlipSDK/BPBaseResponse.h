#pragma once

#include "sdk/libBlipSDK/BPDataTransferObject.h"

#include <memory>
#include <optional>
#include <string>

namespace blip {

// A response: its id is `responseID`; it names the request it answers and carries that
// request's userInfo back. A status other than 0 is never validated.
class BPBaseResponse : public BPDataTransferObject {
public:
    enum StatusCode {
        kStatusSuccess = 0,
        kStatusUserCancel = -1,
        kStatusAuthFailed = -3,
        kStatusUserCancelInstall = -4,
        kStatusUnsupported = -99,
    };

    BPBaseResponse() : responseID(UUID()) { }

    std::optional<std::string> requestID;
    std::optional<std::string> responseID;
    long long statusCode { 0 };
    std::optional<pf::Dictionary> requestUserInfo;

    std::string className() const override { return "BPBaseResponse"; }
    std::string transferType() const override { return "response"; }
    std::optional<std::string> objectID() const override { return responseID; }
    void setObjectID(const std::string& id) override { responseID = id; }
    std::optional<std::string> validateBeforeSend() const override;
    std::optional<std::string> validateAfterReceive() const override;
    void storeToDictionary(pf::Dictionary& dictionary) const override;
    void loadFromDictionary(const pf::Dictionary& dictionary) override;
    // Its own pasteboard and that of the request it answers.
    void removeFromPasteboard() const override;

    static std::shared_ptr<BPBaseResponse> mappedObjectWithDictionary(const pf::Dictionary& dictionary);
    // The response staged under `id`, read whole, with the answered request's userInfo.
    static std::shared_ptr<BPBaseResponse> objectFromPasteboardWithID(const std::string& id);
};

}
