#include "platform/ui/GestureRecognizer.h"

#include "platform/ui/View.h"

namespace pf {

void GestureRecognizer::addTarget(Action action)
{
    if (action)
        m_actions.push_back(std::move(action));
}

void GestureRecognizer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (!enabled && isActive())
        setState(GestureState::Cancelled);
}

Point GestureRecognizer::locationInView(const View* view) const
{
    return m_touch.locationInView(view);
}

void GestureRecognizer::touchBegan(const Touch& touch)
{
    m_touch = touch;
}

void GestureRecognizer::touchCancelled(const Touch& touch)
{
    m_touch = touch;
    if (isActive())
        setState(GestureState::Cancelled);
    else if (m_state == GestureState::Possible)
        setState(GestureState::Failed);
}

void GestureRecognizer::reset()
{
    m_state = GestureState::Possible;
    m_arbiter = nullptr;
}

bool GestureRecognizer::requestBegin()
{
    if (!m_enabled)
        return false;
    if (m_arbiter)
        return m_arbiter(*this);
    auto d = delegate();
    return !d || d->gestureRecognizerShouldBegin(*this);
}

void GestureRecognizer::setState(GestureState state)
{
    m_state = state;
    bool report = isContinuous()
        ? (state == GestureState::Began || state == GestureState::Changed || state == GestureState::Ended || state == GestureState::Cancelled)
        : state == GestureState::Ended;
    if (!report)
        return;
    auto self = shared_from_this();
    auto actions = m_actions;
    for (auto& a : actions)
        a(*this);
}

}
