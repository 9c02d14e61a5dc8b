#include "core/views/ColorfulImage.h"

#include "platform/graphics/BitmapContext.h"

std::shared_ptr<pf::Image> ColorfulImage::imageWithColor(const pf::Color& color)
{
    pf::BitmapContext context({ 1, 1 });
    context.setFillColor(color);
    context.fillRect({ 0, 0, 1, 1 });
    return context.makeImage();
}
