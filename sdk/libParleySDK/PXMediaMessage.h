#pragma once

#include "sdk/libParleySDK/PXMediaObject.h"

#include <memory>
#include <optional>
#include <string>

namespace pf {
class Image;
}

namespace parley {

// A message with a title, a description, a thumbnail and one media object.
class PXMediaMessage {
public:
    static std::shared_ptr<PXMediaMessage> message() { return std::make_shared<PXMediaMessage>(); }

    std::optional<std::string> title;
    std::optional<std::string> description;
    std::optional<pf::Bytes> thumbData; // an encoded picture
    std::optional<std::string> mediaTagName;
    std::shared_ptr<PXMediaObject> mediaObject;

    // Keeps the picture's JPEG encoding (quality 0.6, not scaled) as the thumbnail; a null
    // picture leaves the thumbnail as it was.
    void setThumbImage(const std::shared_ptr<pf::Image>& image);
};

}
