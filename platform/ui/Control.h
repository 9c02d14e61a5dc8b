#pragma once

#include "platform/ui/View.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pf {

// Events a control reports (flags, combined with |).
struct ControlEvent {
    static constexpr unsigned TouchDown = 1u << 0;
    static constexpr unsigned TouchDragInside = 1u << 2;
    static constexpr unsigned TouchDragOutside = 1u << 3;
    static constexpr unsigned TouchUpInside = 1u << 6;
    static constexpr unsigned TouchUpOutside = 1u << 7;
    static constexpr unsigned TouchCancel = 1u << 8;
    static constexpr unsigned ValueChanged = 1u << 12;
    static constexpr unsigned EditingDidBegin = 1u << 16;
    static constexpr unsigned EditingChanged = 1u << 17;
    static constexpr unsigned EditingDidEnd = 1u << 18;
    static constexpr unsigned EditingDidEndOnExit = 1u << 19;
    static constexpr unsigned AllTouchEvents = 0x00000FFFu;
    static constexpr unsigned AllEditingEvents = 0x000F0000u;
    static constexpr unsigned AllEvents = 0xFFFFFFFFu;
};

// States that select per-state titles, colours and images (flags).
struct ControlState {
    static constexpr unsigned Normal = 0;
    static constexpr unsigned Highlighted = 1u << 0;
    static constexpr unsigned Disabled = 1u << 1;
    static constexpr unsigned Selected = 1u << 2;
};

// A view that turns touches into events and events into actions.
//
// Rules:
// - An action is a name plus either a target (held weakly: a target that is gone gets nothing),
//   a callback, or nothing: then the name goes up the responder chain (from the first responder
//   when there is one, else from the control) to the first responder that handles it.
// - Actions of one event run in the order they were added.
// - A touch that goes down on an enabled control highlights it; lifting the finger inside sends
//   TouchUpInside, outside TouchUpOutside. A disabled control passes its touches on to the next
//   responder.
class Control : public View {
public:
    using Handler = std::function<void(const std::shared_ptr<Control>& sender)>;

    Control() = default;
    explicit Control(const Rect& frame) : View(frame) { }

    bool isEnabled() const { return m_enabled; }
    virtual void setEnabled(bool enabled);
    bool isSelected() const { return m_selected; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const { return m_highlighted; }
    virtual void setHighlighted(bool highlighted);
    unsigned state() const;

    // Target may be null: the action then travels up the responder chain.
    void addTarget(const std::shared_ptr<Responder>& target, const std::string& action, unsigned events);
    // A callback for `events`; `name` identifies it (for removal and inspection).
    void addAction(const std::string& name, Handler handler, unsigned events);
    // Removes the matching actions: by target (null matches all), name (empty matches all) and
    // events.
    void removeTarget(const Responder* target, const std::string& action = {}, unsigned events = ControlEvent::AllEvents);
    void removeAllActions();
    std::vector<std::string> actionsForEvent(unsigned event) const;
    void sendActionsForControlEvents(unsigned events);

    bool isTracking() const { return m_tracking; }
    bool isTouchInside() const { return m_touchInside; }

    void touchesBegan(const Touch& touch) override;
    void touchesMoved(const Touch& touch) override;
    void touchesEnded(const Touch& touch) override;
    void touchesCancelled(const Touch& touch) override;

    void dumpAttributes(DumpAttributes& attributes) const override;

protected:
    // Called when enabled, selected or highlighted change.
    virtual void stateDidChange() { }

private:
    struct Entry {
        std::string name;
        unsigned events;
        bool hasTarget;
        std::weak_ptr<Responder> target;
        const Responder* targetKey;
        Handler handler;
    };
    std::vector<Entry> m_actions;
    bool m_enabled { true };
    bool m_selected { false };
    bool m_highlighted { false };
    bool m_tracking { false };
    bool m_touchInside { false };
};

}
