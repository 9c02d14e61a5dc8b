#pragma once

#include "sdk/libBlipSDK/BPBaseMediaObject.h"

namespace blip {

// A video, by its addresses.
class BPVideoObject : public BPBaseMediaObject {
public:
    static std::shared_ptr<BPVideoObject> object() { return std::make_shared<BPVideoObject>(); }

    std::optional<std::string> videoUrl;
    std::optional<std::string> videoLowBandUrl;
    std::optional<std::string> videoStreamUrl;
    std::optional<std::string> videoLowBandStreamUrl;

    std::string className() const override { return "BPVideoObject"; }
    std::optional<std::string> validate() const override;
    void storeToDictionary(pf::Dictionary& dictionary) const override;
    void loadFromDictionary(const pf::Dictionary& dictionary) override;
};

}
