#include "platform/ui/PageControl.h"

#include "platform/ui/DumpAttributes.h"
#include "platform/ui/Touch.h"

#include <algorithm>

namespace pf {

void PageControl::setNumberOfPages(int pages)
{
    m_pages = std::max(0, pages);
    setCurrentPage(m_current);
}

void PageControl::setCurrentPage(int page)
{
    m_current = std::clamp(page, 0, std::max(0, m_pages - 1));
}

Size PageControl::sizeForNumberOfPages(int pages)
{
    return { std::max(0, pages) * 16.0, 36 };
}

std::shared_ptr<View> PageControl::hitTest(Point point)
{
    if (m_hidesForSinglePage && m_pages <= 1)
        return nullptr;
    return Control::hitTest(point);
}

void PageControl::touchesEnded(const Touch& touch)
{
    bool tracking = isTracking();
    Point p = touch.locationInView(this);
    if (tracking && isEnabled() && pointInside(p)) {
        int page = p.x < bounds().width() / 2 ? m_current - 1 : m_current + 1;
        int old = m_current;
        setCurrentPage(page);
        if (m_current != old) {
            auto self = sharedView();
            sendActionsForControlEvents(ControlEvent::ValueChanged);
        }
    }
    Control::touchesEnded(touch);
}

void PageControl::dumpAttributes(DumpAttributes& attributes) const
{
    attributes.value("page", std::to_string(m_current + (m_pages > 0 ? 1 : 0)) + "/" + std::to_string(m_pages));
    Control::dumpAttributes(attributes);
}

}
