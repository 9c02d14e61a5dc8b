#pragma once

#include "platform/graphics/Color.h"

#include <memory>

namespace pf {
class Image;
}

// A 1 x 1 point image of one colour, for backgrounds that take an image (the navigation bar).
class ColorfulImage {
public:
    static std::shared_ptr<pf::Image> imageWithColor(const pf::Color& color);
};
