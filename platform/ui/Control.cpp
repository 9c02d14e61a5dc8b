#include "platform/ui/Control.h"

#include "platform/foundation/Log.h"
#include "platform/ui/DumpAttributes.h"
#include "platform/ui/Touch.h"

#include <algorithm>

namespace pf {

void Control::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (!enabled)
        m_highlighted = false;
    stateDidChange();
}

void Control::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    stateDidChange();
}

void Control::setHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    stateDidChange();
}

unsigned Control::state() const
{
    unsigned s = ControlState::Normal;
    if (m_highlighted)
        s |= ControlState::Highlighted;
    if (!m_enabled)
        s |= ControlState::Disabled;
    if (m_selected)
        s |= ControlState::Selected;
    return s;
}

void Control::addTarget(const std::shared_ptr<Responder>& target, const std::string& action, unsigned events)
{
    // The same target and action for the same events is added once.
    for (auto& e : m_actions) {
        if (!e.handler && e.name == action && e.targetKey == target.get() && e.hasTarget == (target != nullptr)) {
            e.events |= events;
            return;
        }
    }
    m_actions.push_back({ action, events, target != nullptr, target, target.get(), nullptr });
}

void Control::addAction(const std::string& name, Handler handler, unsigned events)
{
    if (!handler)
        return;
    m_actions.push_back({ name, events, false, {}, nullptr, std::move(handler) });
}

void Control::removeTarget(const Responder* target, const std::string& action, unsigned events)
{
    for (auto& e : m_actions) {
        if ((target == nullptr || e.targetKey == target) && (action.empty() || e.name == action))
            e.events &= ~events;
    }
    m_actions.erase(std::remove_if(m_actions.begin(), m_actions.end(), [](const Entry& e) { return e.events == 0; }), m_actions.end());
}

void Control::removeAllActions()
{
    m_actions.clear();
}

std::vector<std::string> Control::actionsForEvent(unsigned event) const
{
    std::vector<std::string> names;
    for (const auto& e : m_actions)
        if (e.events & event)
            names.push_back(e.name);
    return names;
}

void Control::sendActionsForControlEvents(unsigned events)
{
    auto self = std::static_pointer_cast<Control>(sharedView());
    auto list = m_actions; // an action may add or remove actions
    for (const auto& e : list) {
        if (!(e.events & events))
            continue;
        if (e.handler) {
            e.handler(self);
        } else if (e.hasTarget) {
            auto target = e.target.lock();
            if (!target)
                continue; // the target is gone: nothing to tell
            if (!target->respondsToAction(e.name) || !target->performAction(e.name, self))
                Log::format("Control action '%s' is not handled by its target", e.name.c_str());
        } else if (!Responder::sendAction(e.name, self, self)) {
            // Nobody along the responder chain takes it: say so rather than drop it silently.
            Log::format("Control action '%s' reached no responder", e.name.c_str());
        }
    }
}

void Control::touchesBegan(const Touch& touch)
{
    if (!m_enabled) {
        View::touchesBegan(touch);
        return;
    }
    auto self = sharedView();
    m_tracking = true;
    m_touchInside = true;
    setHighlighted(true);
    sendActionsForControlEvents(ControlEvent::TouchDown);
}

void Control::touchesMoved(const Touch& touch)
{
    if (!m_tracking) {
        View::touchesMoved(touch);
        return;
    }
    m_touchInside = pointInside(touch.locationInView(this));
    setHighlighted(m_touchInside);
    sendActionsForControlEvents(m_touchInside ? ControlEvent::TouchDragInside : ControlEvent::TouchDragOutside);
}

void Control::touchesEnded(const Touch& touch)
{
    if (!m_tracking) {
        View::touchesEnded(touch);
        return;
    }
    auto self = sharedView();
    m_tracking = false;
    m_touchInside = pointInside(touch.locationInView(this));
    setHighlighted(false);
    sendActionsForControlEvents(m_touchInside ? ControlEvent::TouchUpInside : ControlEvent::TouchUpOutside);
}

void Control::touchesCancelled(const Touch& touch)
{
    if (!m_tracking) {
        View::touchesCancelled(touch);
        return;
    }
    auto self = sharedView();
    m_tracking = false;
    setHighlighted(false);
    sendActionsForControlEvents(ControlEvent::TouchCancel);
}

void Control::dumpAttributes(DumpAttributes& attributes) const
{
    View::dumpAttributes(attributes);
    if (m_selected)
        attributes.flag("selected");
    if (!m_enabled)
        attributes.flag("disabled");
    if (m_highlighted)
        attributes.flag("highlighted");
}

}
