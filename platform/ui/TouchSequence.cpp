#include "platform/ui/TouchSequence.h"

#include "platform/ui/Control.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Interaction.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <cmath>

namespace pf {

namespace {
    constexpr double DragThreshold = 10;
}

std::shared_ptr<TouchSequence> TouchSequence::begin(Point screenPoint, double timestamp)
{
    if (Interaction::isIgnoringEvents())
        return nullptr;
    std::shared_ptr<Window> window;
    auto hit = Window::hitTestScreen(screenPoint, &window);
    if (!hit || !window)
        return nullptr;
    std::shared_ptr<TouchSequence> seq(new TouchSequence());
    seq->m_window = window;
    seq->m_hitView = hit;
    seq->m_start = screenPoint;
    Touch touch = seq->makeTouch(screenPoint, TouchPhase::Began, timestamp);
    touch.previousWindowLocation = touch.windowLocation;
    seq->m_last = touch;

    TouchSequence* raw = seq.get();
    for (auto v = hit; v; v = v->superview()) {
        for (auto& r : v->gestureRecognizers()) {
            if (!r->isEnabled())
                continue;
            if (auto d = r->delegate(); d && !d->gestureRecognizerShouldReceiveTouch(*r, touch))
                continue;
            r->reset();
            r->setArbiter([raw](GestureRecognizer& g) { return raw->arbitrate(g); });
            seq->m_recognizers.push_back(r);
            if (dynamic_cast<PanGestureRecognizer*>(r.get()))
                seq->m_candidates.push_back({ r, nullptr });
        }
        if (auto scroll = std::dynamic_pointer_cast<ScrollView>(v)) {
            if (scroll->isDecelerating() || scroll->isScrollingAnimated()) {
                // The finger catches moving content: it stops, and the touch is only that.
                scroll->beginDrag();
                seq->m_stoppedScroll = scroll;
                seq->m_swallowed = true;
            }
            if (scroll->isScrollEnabled())
                seq->m_candidates.push_back({ nullptr, scroll });
        }
    }
    for (auto& r : seq->m_recognizers)
        r->touchBegan(touch);
    if (!seq->m_swallowed)
        hit->touchesBegan(touch);
    return seq;
}

TouchSequence::~TouchSequence()
{
    if (!m_finished)
        finish();
}

Touch TouchSequence::makeTouch(Point screenPoint, TouchPhase phase, double timestamp)
{
    Touch t;
    Point origin = m_window ? m_window->frame().origin : Point {};
    t.windowLocation = { screenPoint.x - origin.x, screenPoint.y - origin.y };
    t.previousWindowLocation = m_last.windowLocation;
    t.phase = phase;
    t.timestamp = timestamp;
    t.view = m_hitView;
    t.window = m_window;
    return t;
}

bool TouchSequence::simultaneous(GestureRecognizer& a, GestureRecognizer& b) const
{
    if (auto d = a.delegate(); d && d->gestureRecognizerShouldRecognizeSimultaneously(a, b))
        return true;
    if (auto d = b.delegate(); d && d->gestureRecognizerShouldRecognizeSimultaneously(b, a))
        return true;
    return false;
}

bool TouchSequence::arbitrate(GestureRecognizer& recognizer)
{
    if (auto d = recognizer.delegate(); d && !d->gestureRecognizerShouldBegin(recognizer))
        return false;
    if (dynamic_cast<TapGestureRecognizer*>(&recognizer)) {
        if (m_scrollOwner || m_panOwner)
            return false;
        auto control = std::dynamic_pointer_cast<Control>(m_hitView);
        if (control && control->isEnabled() && recognizer.view() != m_hitView)
            return false;
        for (auto& other : m_recognized)
            if (!simultaneous(recognizer, *other))
                return false;
        m_recognized.push_back(recognizer.shared_from_this());
        return true;
    }
    // A pan: the drag must still be free, or shared with the one that holds it.
    if (m_scrollOwner)
        return false;
    if (m_panOwner && m_panOwner.get() != &recognizer && !simultaneous(recognizer, *m_panOwner))
        return false;
    if (!m_panOwner)
        m_panOwner = recognizer.shared_from_this();
    return true;
}

void TouchSequence::cancelViewTouches()
{
    if (m_viewCancelled || m_swallowed)
        return;
    m_viewCancelled = true;
    Touch t = m_last;
    t.phase = TouchPhase::Cancelled;
    m_hitView->touchesCancelled(t);
}

void TouchSequence::moveTo(Point screenPoint, double timestamp)
{
    if (m_finished)
        return;
    Touch touch = makeTouch(screenPoint, TouchPhase::Moved, timestamp);
    double dt = timestamp - m_last.timestamp;
    if (dt > 0)
        m_velocity = { (touch.windowLocation.x - m_last.windowLocation.x) / dt, (touch.windowLocation.y - m_last.windowLocation.y) / dt };
    m_last = touch;
    Point translation { screenPoint.x - m_start.x, screenPoint.y - m_start.y };
    bool pastThreshold = std::hypot(translation.x, translation.y) >= DragThreshold;

    // Candidates for the drag, nearest first: a scroll view takes it when it can move along the
    // drag's main axis; a pan recogniser asks the arbiter when it sees the move.
    for (auto& c : m_candidates) {
        if (c.scrollView) {
            if (c.scrollView == m_scrollOwner) {
                c.scrollView->dragTo(translation);
                continue;
            }
            if (m_scrollOwner || m_panOwner || !pastThreshold)
                continue;
            bool vertical = std::fabs(translation.y) >= std::fabs(translation.x);
            bool can = vertical ? c.scrollView->canScrollVertically() : c.scrollView->canScrollHorizontally();
            if (!can)
                continue;
            m_scrollOwner = c.scrollView;
            if (m_stoppedScroll != c.scrollView)
                c.scrollView->beginDrag();
            m_stoppedScroll = nullptr;
            c.scrollView->dragTo(translation);
        } else {
            c.recognizer->touchMoved(touch);
        }
    }
    for (auto& r : m_recognizers)
        if (!dynamic_cast<PanGestureRecognizer*>(r.get()))
            r->touchMoved(touch);

    bool taken = m_scrollOwner || (m_panOwner && m_panOwner->cancelsTouchesInView());
    if (taken)
        cancelViewTouches();
    else if (!m_viewCancelled && !m_swallowed)
        m_hitView->touchesMoved(touch);
}

void TouchSequence::end(double timestamp)
{
    if (m_finished)
        return;
    Touch touch = makeTouch(m_last.windowLocation, TouchPhase::Ended, timestamp);
    // The lift happens where the finger last was.
    if (m_window)
        touch.windowLocation = m_last.windowLocation;
    touch.previousWindowLocation = m_last.previousWindowLocation;
    m_last = touch;

    for (auto& r : m_recognizers)
        r->touchEnded(touch);
    bool tapTaken = false;
    for (auto& r : m_recognized)
        if (r->cancelsTouchesInView())
            tapTaken = true;

    // The content goes on with the finger's speed over its last move.
    if (m_scrollOwner)
        m_scrollOwner->endDrag(m_velocity);
    else if (m_stoppedScroll) {
        m_stoppedScroll->endDrag({});
    }

    if (tapTaken)
        cancelViewTouches();
    else if (!m_viewCancelled && !m_swallowed)
        m_hitView->touchesEnded(touch);
    finish();
}

void TouchSequence::cancel(double timestamp)
{
    if (m_finished)
        return;
    Touch touch = makeTouch(m_last.windowLocation, TouchPhase::Cancelled, timestamp);
    touch.windowLocation = m_last.windowLocation;
    m_last = touch;
    for (auto& r : m_recognizers)
        r->touchCancelled(touch);
    if (m_scrollOwner)
        m_scrollOwner->cancelDrag();
    else if (m_stoppedScroll)
        m_stoppedScroll->endDrag({});
    cancelViewTouches();
    finish();
}

void TouchSequence::finish()
{
    m_finished = true;
    for (auto& r : m_recognizers)
        r->reset();
}

}
