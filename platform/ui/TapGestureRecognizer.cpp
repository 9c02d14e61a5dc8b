#include "platform/ui/TapGestureRecognizer.h"

#include <cmath>

namespace pf {

void TapGestureRecognizer::touchBegan(const Touch& touch)
{
    GestureRecognizer::touchBegan(touch);
    m_start = touch.windowLocation;
}

void TapGestureRecognizer::touchMoved(const Touch& touch)
{
    GestureRecognizer::touchMoved(touch);
    if (state() != GestureState::Possible)
        return;
    double dx = touch.windowLocation.x - m_start.x, dy = touch.windowLocation.y - m_start.y;
    if (std::hypot(dx, dy) > AllowableMovement)
        setState(GestureState::Failed);
}

void TapGestureRecognizer::touchEnded(const Touch& touch)
{
    GestureRecognizer::touchEnded(touch);
    if (state() != GestureState::Possible)
        return;
    if (requestBegin())
        setState(GestureState::Ended);
    else
        setState(GestureState::Failed);
}

}
