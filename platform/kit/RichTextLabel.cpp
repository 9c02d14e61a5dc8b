#include "platform/kit/RichTextLabel.h"

#include "platform/kit/RichTextLayout.h"
#include "platform/ui/DumpAttributes.h"

namespace pf {

RichTextLabel::RichTextLabel()
{
    setUserInteractionEnabled(false);
}

RichTextLabel::RichTextLabel(const Rect& frame)
    : View(frame)
{
    setUserInteractionEnabled(false);
}

void RichTextLabel::setText(const std::string& markup)
{
    m_markup = markup;
    reparse();
}

void RichTextLabel::setFont(const Font& font)
{
    m_font = font;
    reparse();
}

void RichTextLabel::setTextColor(const Color& color)
{
    m_textColor = color;
    reparse();
}

void RichTextLabel::reparse()
{
    m_runs = RichTextMarkup::parse(m_markup, m_font, m_textColor);
}

Size RichTextLabel::optimumSize() const
{
    return sizeThatFits(frame().size);
}

Size RichTextLabel::sizeThatFits(Size size) const
{
    return RichTextLayout::measure(m_runs, size.width, m_lineSpacing).size;
}

int RichTextLabel::lineCount() const
{
    return RichTextLayout::measure(m_runs, frame().width(), m_lineSpacing).lineCount;
}

void RichTextLabel::dumpAttributes(DumpAttributes& attributes) const
{
    View::dumpAttributes(attributes);
    attributes.text("text", plainText());
}

}
