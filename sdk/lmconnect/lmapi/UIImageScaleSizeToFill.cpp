#include "sdk/lmconnect/lmapi/UIImageScaleSizeToFill.h"

#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Image.h"

#include <algorithm>
#include <cmath>

std::shared_ptr<pf::Image> UIImageScaleSizeToFill(const std::shared_ptr<pf::Image>& image, pf::Size size)
{
    if (!image || size.width < 0 || size.height < 0)
        return nullptr;
    double width = image->pixelWidth();
    double height = image->pixelHeight();
    if (width <= size.width && height <= size.height)
        return image;
    // The shorter side decides the scale; the small offset keeps a zero side from dividing.
    double ratio = width < height ? (size.width + 0.01) / (width + 0.01) : (size.height + 0.01) / (height + 0.01);
    double newWidth = std::trunc(width);
    double newHeight = std::trunc(height);
    if (ratio < 1) {
        newWidth = std::trunc(newWidth * ratio);
        newHeight = std::trunc(newHeight * ratio);
    }
    int canvasWidth = static_cast<int>(std::min(size.width, newWidth));
    int canvasHeight = static_cast<int>(std::min(size.height, newHeight));
    if (canvasWidth <= 0 || canvasHeight <= 0)
        return nullptr;
    pf::BitmapContext context(pf::Size { double(canvasWidth), double(canvasHeight) }, 1.0);
    if (!context.isValid())
        return nullptr;
    double drawWidth = width * (ratio < 1 ? ratio : 1);
    double drawHeight = height * (ratio < 1 ? ratio : 1);
    context.translate(canvasWidth / 2.0, canvasHeight / 2.0);
    context.drawImage(*image, pf::Rect { -drawWidth / 2, -drawHeight / 2, drawWidth, drawHeight });
    return context.makeImage();
}
