// Image operations: cropping and scaling.

#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Image.h"

#include <algorithm>
#include <cmath>

namespace pf {

std::shared_ptr<Image> Image::cropped(const Rect& pixelRect) const
{
    if (!std::isfinite(pixelRect.x()) || !std::isfinite(pixelRect.y()) || !std::isfinite(pixelRect.width())
        || !std::isfinite(pixelRect.height()))
        return nullptr;
    // Round out to whole pixels, then clip to the bitmap.
    double x0 = std::max(std::floor(pixelRect.minX()), 0.0), y0 = std::max(std::floor(pixelRect.minY()), 0.0);
    double x1 = std::min(std::ceil(pixelRect.maxX()), double(m_width)), y1 = std::min(std::ceil(pixelRect.maxY()), double(m_height));
    if (x1 <= x0 || y1 <= y0)
        return nullptr;
    int left = static_cast<int>(x0), top = static_cast<int>(y0);
    int width = static_cast<int>(x1 - x0), height = static_cast<int>(y1 - y0);
    auto out = std::make_shared<Image>(width, height);
    for (int y = 0; y < height; ++y) {
        auto from = m_pixels.begin() + static_cast<std::ptrdiff_t>(top + y) * m_width + left;
        std::copy(from, from + width, out->m_pixels.begin() + static_cast<std::ptrdiff_t>(y) * width);
    }
    return out;
}

std::shared_ptr<Image> Image::scaled(int pixelWidth, int pixelHeight) const
{
    if (m_pixels.empty())
        return nullptr;
    BitmapContext context(Size { double(pixelWidth), double(pixelHeight) }, 1.0);
    if (!context.isValid())
        return nullptr;
    context.drawImage(*this, Rect(0, 0, pixelWidth, pixelHeight));
    return context.makeImage();
}

}
