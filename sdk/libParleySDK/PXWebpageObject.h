#pragma once

#include "sdk/libParleySDK/PXMediaObject.h"

namespace parley {

// A web page, by its address.
class PXWebpageObject : public PXMediaObject {
public:
    static constexpr unsigned kObjectType = 5;
    static std::shared_ptr<PXWebpageObject> object() { return std::make_shared<PXWebpageObject>(); }
    unsigned objectType() const override { return kObjectType; }

    std::optional<std::string> webpageUrl;

    std::optional<std::string> listMediaUrl() const override { return webpageUrl; }
};

}
