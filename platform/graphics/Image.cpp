#include "platform/graphics/Image.h"

namespace pf {

Image::Image(int pixelWidth, int pixelHeight, double scale)
    : m_width(pixelWidth > 0 ? pixelWidth : 0)
    , m_height(pixelHeight > 0 ? pixelHeight : 0)
    , m_scale(scale > 0 ? scale : 1.0)
    , m_pixels(static_cast<size_t>(m_width) * static_cast<size_t>(m_height), 0)
{
}

}
