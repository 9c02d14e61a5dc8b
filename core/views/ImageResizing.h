#pragma once

#include "platform/graphics/Geometry.h"

#include <memory>

namespace pf {
class Image;
}

// Stretches an image to a size: a new image of exactly `size` points at scale 1 with the whole
// receiver drawn into it. Null for a null image or an empty size.
class ImageResizing {
public:
    static std::shared_ptr<pf::Image> applyResizingWithRect(const std::shared_ptr<pf::Image>& image, pf::Size size);
};
