#pragma once

#include "sdk/libParleySDK/PXMediaObject.h"

namespace parley {

// A picture, by address or by its bytes.
class PXImageObject : public PXMediaObject {
public:
    static constexpr unsigned kObjectType = 2;
    static std::shared_ptr<PXImageObject> object() { return std::make_shared<PXImageObject>(); }
    unsigned objectType() const override { return kObjectType; }

    std::optional<std::string> imageUrl;
    std::optional<pf::Bytes> imageData;

    std::optional<std::string> listMediaUrl() const override { return imageUrl; }
    std::optional<pf::Bytes> listFileData() const override { return imageData; }
};

}
