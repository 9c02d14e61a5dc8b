#pragma once

#include "platform/graphics/Geometry.h"

#include <memory>

namespace pf {
class Image;
}

// A picture that fills `size` (in pixels): scaled so its shorter side fits and cut equally on
// both sides of the longer one. A picture that already fits comes back as it is; none for no
// picture or a negative size.
std::shared_ptr<pf::Image> UIImageScaleSizeToFill(const std::shared_ptr<pf::Image>& image, pf::Size size);
