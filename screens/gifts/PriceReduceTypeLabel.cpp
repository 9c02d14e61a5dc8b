#include "screens/gifts/PriceReduceTypeLabel.h"

#include "core/views/ColorFactory.h"
#include "platform/graphics/TextMeasurer.h"

void PriceReduceTypeLabel::assignText(const std::string& text)
{
    if (!m_lineView) {
        m_lineView = std::make_shared<pf::View>();
        m_lineView->setBackgroundColor(ColorFactory::colorWithHexRGB("9F9F9F"));
        addSubview(m_lineView);
    }
    setNumberOfLines(0);
    pf::Size size = pf::TextMeasurer::sizeOfText(text, pf::Font::system(13), { 320, 2000 }, pf::LineBreakMode::WordWrap);
    setFrame({ frame().origin, size });
    setTextAlignment(pf::TextAlignment::Left);
    setText(text);
    m_lineView->setFrame({ 0, size.height / 2, size.width, 1 });
}
