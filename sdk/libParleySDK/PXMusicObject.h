#pragma once

#include "sdk/libParleySDK/PXMediaObject.h"

namespace parley {

// A piece of music, by its addresses.
class PXMusicObject : public PXMediaObject {
public:
    static constexpr unsigned kObjectType = 3;
    static std::shared_ptr<PXMusicObject> object() { return std::make_shared<PXMusicObject>(); }
    unsigned objectType() const override { return kObjectType; }

    std::optional<std::string> musicUrl;
    std::optional<std::string> musicLowBandUrl;
    std::optional<std::string> musicDataUrl;
    std::optional<std::string> musicLowBandDataUrl;

    std::optional<std::string> listMediaUrl() const override { return musicUrl; }
    std::optional<std::string> listMediaLowBandUrl() const override { return musicLowBandUrl; }
    std::optional<std::string> listMediaDataUrl() const override { return musicDataUrl; }
    std::optional<std::string> listMediaLowBandDataUrl() const override { return musicLowBandDataUrl; }
};

}
