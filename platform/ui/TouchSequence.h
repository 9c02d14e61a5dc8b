#pragma once

#include "platform/graphics/Geometry.h"
#include "platform/ui/Touch.h"

#include <memory>
#include <vector>

namespace pf {

class GestureRecognizer;
class ScrollView;
class View;
class Window;

// One finger from touch-down to lift, delivered the way the platform does it.
//
// Rules:
// - The view hit at touch-down (front window first) receives the touches as a responder (and
//   passes on what it does not handle); the gesture recognisers of it and its ancestors, and its
//   ancestor scroll views, see the touch too.
// - Once the finger has moved 10 points, the nearest candidate that wants the drag takes it,
//   from the hit view outwards: a scroll view that can scroll along the drag's main axis, or a
//   pan recogniser whose delegate agrees to begin. Others run too only when a delegate allows
//   simultaneous recognition. Taking the drag cancels the hit view's touches.
// - A tap recogniser is recognised on lift, unless the hit view is an enabled control and the
//   recogniser belongs to an ancestor (controls keep their taps), or another tap recogniser
//   nearer to the hit view was recognised and neither allows both. A recognised tap cancels the
//   hit view's touches (when it cancels touches in view).
// - A touch that lands on a decelerating scroll view stops it and goes no further.
// - While touches are ignored (Interaction), no sequence starts.
class TouchSequence {
public:
    static std::shared_ptr<TouchSequence> begin(Point screenPoint, double timestamp);
    ~TouchSequence();

    std::shared_ptr<View> hitView() const { return m_hitView; }
    std::shared_ptr<Window> window() const { return m_window; }
    std::shared_ptr<ScrollView> draggingScrollView() const { return m_scrollOwner; }
    std::shared_ptr<GestureRecognizer> panOwner() const { return m_panOwner; }
    bool viewTouchesCancelled() const { return m_viewCancelled; }
    bool isFinished() const { return m_finished; }

    void moveTo(Point screenPoint, double timestamp);
    void end(double timestamp);
    void cancel(double timestamp);

private:
    TouchSequence() = default;
    Touch makeTouch(Point screenPoint, TouchPhase phase, double timestamp);
    bool arbitrate(GestureRecognizer& recognizer);
    bool simultaneous(GestureRecognizer& a, GestureRecognizer& b) const;
    void cancelViewTouches();
    void finish();

    struct Candidate {
        std::shared_ptr<GestureRecognizer> recognizer; // or
        std::shared_ptr<ScrollView> scrollView;
    };

    std::shared_ptr<Window> m_window;
    std::shared_ptr<View> m_hitView;
    std::vector<Candidate> m_candidates; // nearest to the hit view first
    std::vector<std::shared_ptr<GestureRecognizer>> m_recognizers;
    std::vector<std::shared_ptr<GestureRecognizer>> m_recognized;
    std::shared_ptr<ScrollView> m_scrollOwner;
    std::shared_ptr<GestureRecognizer> m_panOwner;
    std::shared_ptr<ScrollView> m_stoppedScroll;
    Point m_start;
    Touch m_last;
    Point m_velocity; // of the last move, points per second
    bool m_viewCancelled { false };
    bool m_swallowed { false };
    bool m_finished { false };
};

}
