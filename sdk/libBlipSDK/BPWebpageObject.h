#pragma once

#include "sdk/libBlipSDK/BPBaseMediaObject.h"

namespace blip {

// A web page, by its address.
class BPWebpageObject : public BPBaseMediaObject {
public:
    static std::shared_ptr<BPWebpageObject> object() { return std::make_shared<BPWebpageObject>(); }

    std::optional<std::string> webpageUrl;

    std::string className() const override { return "BPWebpageObject"; }
    std::optional<std::string> validate() const override;
    void storeToDictionary(pf::Dictionary& dictionary) const override;
    void loadFromDictionary(const pf::Dictionary& dictionary) override;
};

}
