#include "core/views/ImageResizing.h"

#include "platform/graphics/BitmapContext.h"

std::shared_ptr<pf::Image> ImageResizing::applyResizingWithRect(const std::shared_ptr<pf::Image>& image, pf::Size size)
{
    if (!image || size.isEmpty())
        return nullptr;
    pf::BitmapContext context(size, 1.0);
    context.drawImage(*image, { 0, 0, size.width, size.height });
    return context.makeImage();
}
