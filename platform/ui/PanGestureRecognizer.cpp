#include "platform/ui/PanGestureRecognizer.h"

#include <cmath>

namespace pf {

Point PanGestureRecognizer::translationInView(const View*) const
{
    const Touch& t = lastTouch();
    return { t.windowLocation.x - m_origin.x, t.windowLocation.y - m_origin.y };
}

void PanGestureRecognizer::setTranslation(Point translation, const View*)
{
    const Touch& t = lastTouch();
    m_origin = { t.windowLocation.x - translation.x, t.windowLocation.y - translation.y };
}

Point PanGestureRecognizer::velocityInView(const View*) const
{
    return m_velocity;
}

void PanGestureRecognizer::touchBegan(const Touch& touch)
{
    GestureRecognizer::touchBegan(touch);
    m_origin = touch.windowLocation;
    m_velocity = {};
}

void PanGestureRecognizer::touchMoved(const Touch& touch)
{
    Touch previous = lastTouch();
    GestureRecognizer::touchMoved(touch);
    double dt = touch.timestamp - previous.timestamp;
    if (dt > 0)
        m_velocity = { (touch.windowLocation.x - previous.windowLocation.x) / dt, (touch.windowLocation.y - previous.windowLocation.y) / dt };
    switch (state()) {
    case GestureState::Possible: {
        Point tr = translationInView(nullptr);
        if (std::hypot(tr.x, tr.y) < Hysteresis)
            return;
        setState(requestBegin() ? GestureState::Began : GestureState::Failed);
        return;
    }
    case GestureState::Began:
    case GestureState::Changed:
        setState(GestureState::Changed);
        return;
    default:
        return;
    }
}

void PanGestureRecognizer::touchEnded(const Touch& touch)
{
    Touch previous = lastTouch();
    GestureRecognizer::touchEnded(touch);
    double dt = touch.timestamp - previous.timestamp;
    if (dt > 0 && !(touch.windowLocation == previous.windowLocation))
        m_velocity = { (touch.windowLocation.x - previous.windowLocation.x) / dt, (touch.windowLocation.y - previous.windowLocation.y) / dt };
    if (isActive())
        setState(GestureState::Ended);
    else if (state() == GestureState::Possible)
        setState(GestureState::Failed);
}

void PanGestureRecognizer::reset()
{
    GestureRecognizer::reset();
    m_velocity = {};
}

}
