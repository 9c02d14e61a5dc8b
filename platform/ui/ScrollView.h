#pragma once

#include "platform/ui/View.h"

#include <cstdint>
#include <memory>

namespace pf {

class ScrollViewDelegate;

// A view whose bounds origin (the content offset) moves over a larger content.
//
// Rules:
// - The offset rests between the minimum (-inset.top, -inset.left) and the maximum (content
//   size - bounds size + bottom/right inset, never below the minimum). Changing the content
//   size, the inset or the frame while nothing moves brings a resting offset back into range.
// - A finger drag (beginDrag / dragBy / endDrag, as the driver produces them) moves the offset
//   opposite to the finger on each axis the view can scroll (content larger than the bounds, or
//   "always bounce" on). Past an end the content follows less and less (rubber band) when
//   `bounces` is on, else it stops at the end.
// - On release the view decelerates when it was flung, is out of range (it bounces back) or,
//   with paging, rests between pages: it moves in frames of 1/60 s on the platform clock to a
//   target clamped to the content (with paging, the next page in the direction of the fling,
//   else the nearest page), reporting didScroll each frame and didEndDecelerating at rest.
// - isDragging holds from the first movement until after didEndDragging has been reported.
class ScrollView : public View {
public:
    ScrollView();
    explicit ScrollView(const Rect& frame);
    ~ScrollView() override;

    Size contentSize() const { return m_contentSize; }
    void setContentSize(Size size);
    Point contentOffset() const { return boundsOrigin(); }
    void setContentOffset(Point offset, bool animated = false);
    EdgeInsets contentInset() const { return m_contentInset; }
    void setContentInset(EdgeInsets inset);
    Point minContentOffset() const;
    Point maxContentOffset() const;

    bool isScrollEnabled() const { return m_scrollEnabled; }
    void setScrollEnabled(bool on) { m_scrollEnabled = on; }
    bool isPagingEnabled() const { return m_paging; }
    void setPagingEnabled(bool on) { m_paging = on; }
    bool bounces() const { return m_bounces; }
    void setBounces(bool on) { m_bounces = on; }
    bool alwaysBounceVertical() const { return m_alwaysBounceVertical; }
    void setAlwaysBounceVertical(bool on) { m_alwaysBounceVertical = on; }
    bool alwaysBounceHorizontal() const { return m_alwaysBounceHorizontal; }
    void setAlwaysBounceHorizontal(bool on) { m_alwaysBounceHorizontal = on; }
    bool showsHorizontalScrollIndicator() const { return m_showsHorizontal; }
    void setShowsHorizontalScrollIndicator(bool on) { m_showsHorizontal = on; }
    bool showsVerticalScrollIndicator() const { return m_showsVertical; }
    void setShowsVerticalScrollIndicator(bool on) { m_showsVertical = on; }
    bool scrollsToTop() const { return m_scrollsToTop; }
    void setScrollsToTop(bool on) { m_scrollsToTop = on; }

    bool isTracking() const { return m_tracking; }
    bool isDragging() const { return m_dragging; }
    bool isDecelerating() const { return m_decelerating; }
    bool isScrollingAnimated() const { return m_animating; }

    std::shared_ptr<ScrollViewDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<ScrollViewDelegate> delegate) { m_delegate = std::move(delegate); }

    bool canScrollHorizontally() const;
    bool canScrollVertically() const;

    // --- the finger (for the touch system and the driver) ---
    // Finger down: stops a deceleration or scrolling animation where it is.
    void beginDrag();
    // The finger moved by `translation` since beginDrag (in points, finger direction).
    void dragTo(Point translation);
    // Finger lifted with `velocity` (points per second, finger direction).
    void endDrag(Point velocity);
    // The finger was taken away by the system (no deceleration).
    void cancelDrag();

    // Seconds between two frames of a deceleration or scrolling animation.
    static constexpr double FrameInterval = 1.0 / 60.0;

    void dumpAttributes(DumpAttributes& attributes) const override;

protected:
    void boundsSizeDidChange(Size oldSize) override;
    // Called after every change of the offset, before the delegate hears of it.
    virtual void contentOffsetDidChange() { }
    // Moves the offset and reports it (no clamping).
    void applyOffset(Point offset);
    void adjustOffsetIfResting();

private:
    void startMotion(Point target, double duration, bool deceleration);
    void stopMotion();
    void motionFrame();
    Point clampOffset(Point p) const;
    Point pagedTarget(Point velocity) const;

    Size m_contentSize;
    EdgeInsets m_contentInset;
    bool m_scrollEnabled { true };
    bool m_paging { false };
    bool m_bounces { true };
    bool m_alwaysBounceVertical { false };
    bool m_alwaysBounceHorizontal { false };
    bool m_showsHorizontal { true };
    bool m_showsVertical { true };
    bool m_scrollsToTop { true };

    bool m_tracking { false };
    bool m_dragging { false };
    bool m_decelerating { false };
    bool m_animating { false };
    Point m_dragStart;

    // The current motion (deceleration or animated scroll).
    std::uint64_t m_timer { 0 };
    double m_motionStart { 0 };
    double m_motionDuration { 0 };
    Point m_motionFrom;
    Point m_motionTo;

    std::weak_ptr<ScrollViewDelegate> m_delegate;
};

}
