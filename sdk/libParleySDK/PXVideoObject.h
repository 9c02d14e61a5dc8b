#pragma once

#include "sdk/libParleySDK/PXMediaObject.h"

namespace parley {

// A video, by its addresses.
class PXVideoObject : public PXMediaObject {
public:
    static constexpr unsigned kObjectType = 4;
    static std::shared_ptr<PXVideoObject> object() { return std::make_shared<PXVideoObject>(); }
    unsigned objectType() const override { return kObjectType; }

    std::optional<std::string> videoUrl;
    std::optional<std::string> videoLowBandUrl;

    std::optional<std::string> listMediaUrl() const override { return videoUrl; }
    std::optional<std::string> listMediaLowBandUrl() const override { return videoLowBandUrl; }
};

}
