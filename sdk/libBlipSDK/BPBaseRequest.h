#pragma once

#include "sdk/libBlipSDK/BPDataTransferObject.h"

#include <memory>
#include <optional>
#include <string>

namespace blip {

class BPBaseResponse;

// A request: its id is `requestID`; its reply is of the class `makeResponse` makes.
class BPBaseRequest : public BPDataTransferObject {
public:
    BPBaseRequest() : requestID(UUID()) { }

    std::optional<std::string> requestID;

    std::string className() const override { return "BPBaseRequest"; }
    std::string transferType() const override { return "request"; }
    std::optional<std::string> objectID() const override { return requestID; }
    void setObjectID(const std::string& id) override { requestID = id; }
    void storeToDictionary(pf::Dictionary& dictionary) const override;
    void loadFromDictionary(const pf::Dictionary& dictionary) override;

    // A new, empty response of this request's reply class.
    virtual std::shared_ptr<BPBaseResponse> makeResponse() const;
    bool canAssociateWithResponse(const BPBaseResponse& response) const;

    // Rebuilds a request named by "__class" among the request classes; none for other names.
    static std::shared_ptr<BPBaseRequest> mappedObjectWithDictionary(const pf::Dictionary& dictionary);
    // The request staged under `id`, read whole; none when it is not there.
    static std::shared_ptr<BPBaseRequest> objectFromPasteboardWithID(const std::string& id);
};

}
