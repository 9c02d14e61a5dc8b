#include "platform/ui/ActivityIndicatorView.h"

#include "platform/ui/DumpAttributes.h"

namespace pf {

ActivityIndicatorView::ActivityIndicatorView(ActivityIndicatorStyle style)
    : m_style(style)
{
    setUserInteractionEnabled(false);
    setFrame({ { 0, 0 }, sizeThatFits({}) });
    View::setHidden(true);
}

void ActivityIndicatorView::setStyle(ActivityIndicatorStyle style)
{
    m_style = style;
    Point c = center();
    Size s = sizeThatFits({});
    setFrame({ c.x - s.width / 2, c.y - s.height / 2, s.width, s.height });
}

void ActivityIndicatorView::setHidesWhenStopped(bool hides)
{
    m_hidesWhenStopped = hides;
    if (!m_animating)
        setHidden(hides);
}

void ActivityIndicatorView::startAnimating()
{
    m_animating = true;
    setHidden(false);
}

void ActivityIndicatorView::stopAnimating()
{
    m_animating = false;
    if (m_hidesWhenStopped)
        setHidden(true);
}

Size ActivityIndicatorView::sizeThatFits(Size) const
{
    double side = m_style == ActivityIndicatorStyle::WhiteLarge ? 37 : 20;
    return { side, side };
}

void ActivityIndicatorView::dumpAttributes(DumpAttributes& attributes) const
{
    if (m_animating)
        attributes.flag("animating");
    View::dumpAttributes(attributes);
}

}
