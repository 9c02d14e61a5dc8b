#pragma once

#include "sdk/libBlipSDK/BPBaseMediaObject.h"

namespace blip {

// A piece of music, by its addresses.
class BPMusicObject : public BPBaseMediaObject {
public:
    static std::shared_ptr<BPMusicObject> object() { return std::make_shared<BPMusicObject>(); }

    std::optional<std::string> musicUrl;
    std::optional<std::string> musicLowBandUrl;
    std::optional<std::string> musicStreamUrl;
    std::optional<std::string> musicLowBandStreamUrl;

    std::string className() const override { return "BPMusicObject"; }
    std::optional<std::string> validate() const override;
    void storeToDictionary(pf::Dictionary& dictionary) const override;
    void loadFromDictionary(const pf::Dictionary& dictionary) override;
};

}
