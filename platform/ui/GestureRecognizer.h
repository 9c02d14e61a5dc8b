#pragma once

#include "platform/graphics/Geometry.h"
#include "platform/ui/Touch.h"

#include <functional>
#include <memory>
#include <vector>

namespace pf {

class GestureRecognizer;
class View;

enum class GestureState { Possible, Began, Changed, Ended, Cancelled, Failed };

// May refuse a recogniser's touches or its start, and let two recognise at once. Optional.
class GestureRecognizerDelegate {
public:
    virtual ~GestureRecognizerDelegate() = default;
    virtual bool gestureRecognizerShouldBegin(GestureRecognizer& recognizer) { return true; }
    virtual bool gestureRecognizerShouldReceiveTouch(GestureRecognizer& recognizer, const Touch& touch) { return true; }
    virtual bool gestureRecognizerShouldRecognizeSimultaneously(GestureRecognizer& recognizer, GestureRecognizer& other) { return false; }
};

// Turns the touches of the view it is attached to (and of its subviews) into a gesture.
//
// Rules:
// - Actions run on every reported state: Ended for a discrete gesture (tap); Began, Changed,
//   Ended and Cancelled for a continuous one (pan).
// - Before it begins (or, for a tap, is recognised) the recogniser asks the touch system, which
//   asks the delegate's should-begin and settles conflicts with other recognisers.
// - Disabling a recogniser while it runs cancels the gesture.
// - The view is held weakly; the view holds its recognisers.
class GestureRecognizer : public std::enable_shared_from_this<GestureRecognizer> {
public:
    using Action = std::function<void(GestureRecognizer& recognizer)>;

    GestureRecognizer() = default;
    explicit GestureRecognizer(Action action) { addTarget(std::move(action)); }
    virtual ~GestureRecognizer() = default;
    GestureRecognizer(const GestureRecognizer&) = delete;
    GestureRecognizer& operator=(const GestureRecognizer&) = delete;

    void addTarget(Action action);
    void removeAllTargets() { m_actions.clear(); }

    std::shared_ptr<View> view() const { return m_view.lock(); }
    GestureState state() const { return m_state; }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    bool cancelsTouchesInView() const { return m_cancelsTouches; }
    void setCancelsTouchesInView(bool on) { m_cancelsTouches = on; }
    std::shared_ptr<GestureRecognizerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<GestureRecognizerDelegate> delegate) { m_delegate = std::move(delegate); }

    // Where the (last) touch is, in `view`'s coordinates (window coordinates when null).
    Point locationInView(const View* view) const;

    // Discrete gestures are recognised once (tap); continuous ones report changes (pan).
    virtual bool isContinuous() const = 0;

    // --- for the touch system ---
    virtual void touchBegan(const Touch& touch);
    virtual void touchMoved(const Touch& touch) { m_touch = touch; }
    virtual void touchEnded(const Touch& touch) { m_touch = touch; }
    virtual void touchCancelled(const Touch& touch);
    // Decides whether the recogniser may begin; installed by the touch system for one touch.
    using Arbiter = std::function<bool(GestureRecognizer&)>;
    void setArbiter(Arbiter arbiter) { m_arbiter = std::move(arbiter); }
    // Back to Possible for the next touch.
    virtual void reset();
    void attachToView(const std::shared_ptr<View>& view) { m_view = view; }
    bool isActive() const { return m_state == GestureState::Began || m_state == GestureState::Changed; }

protected:
    // Asks the arbiter (or, without one, the delegate) whether to begin.
    bool requestBegin();
    // Moves to `state` and runs the actions when that state is reported.
    void setState(GestureState state);
    const Touch& lastTouch() const { return m_touch; }

private:
    std::vector<Action> m_actions;
    std::weak_ptr<View> m_view;
    std::weak_ptr<GestureRecognizerDelegate> m_delegate;
    GestureState m_state { GestureState::Possible };
    bool m_enabled { true };
    bool m_cancelsTouches { true };
    Touch m_touch;
    Arbiter m_arbiter;
};

}
