#include "platform/ui/Label.h"

#include "platform/ui/DumpAttributes.h"

#include <algorithm>

namespace pf {

Label::Label()
{
    setUserInteractionEnabled(false);
}

Label::Label(const Rect& frame)
    : View(frame)
{
    setUserInteractionEnabled(false);
}

Size Label::sizeThatFits(Size size) const
{
    if (m_text.empty())
        return { 0, 0 };
    if (m_lines == 1)
        return TextMeasurer::sizeOfText(m_text, m_font);
    return TextMeasurer::sizeOfText(m_text, m_font, { size.width, 0 }, LineBreakMode::WordWrap, m_lines);
}

int Label::displayedLineCount() const
{
    if (m_text.empty())
        return 0;
    int lines = TextMeasurer::lineCount(m_text, m_font, frame().width(), m_lineBreak == LineBreakMode::CharWrap ? LineBreakMode::CharWrap : LineBreakMode::WordWrap);
    return m_lines == 0 ? lines : std::min(lines, m_lines);
}

void Label::dumpAttributes(DumpAttributes& attributes) const
{
    attributes.text("text", m_text);
    View::dumpAttributes(attributes);
}

}
