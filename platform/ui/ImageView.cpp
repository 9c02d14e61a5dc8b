#include "platform/ui/ImageView.h"

#include "platform/graphics/Image.h"
#include "platform/ui/DumpAttributes.h"

namespace pf {

ImageView::ImageView()
{
    setUserInteractionEnabled(false);
}

ImageView::ImageView(const Rect& frame)
    : View(frame)
{
    setUserInteractionEnabled(false);
}

ImageView::ImageView(std::shared_ptr<Image> image)
    : m_image(std::move(image))
{
    setUserInteractionEnabled(false);
    if (m_image)
        setFrame({ { 0, 0 }, m_image->size() });
}

void ImageView::setImage(std::shared_ptr<Image> image)
{
    m_image = std::move(image);
}

Size ImageView::sizeThatFits(Size) const
{
    return m_image ? m_image->size() : Size {};
}

std::string ImageView::describeImage(const Image& image)
{
    if (!image.name().empty())
        return image.name();
    return DumpAttributes::number(image.size().width) + "x" + DumpAttributes::number(image.size().height);
}

void ImageView::dumpAttributes(DumpAttributes& attributes) const
{
    if (m_image)
        attributes.value("image", describeImage(*m_image));
    View::dumpAttributes(attributes);
}

}
