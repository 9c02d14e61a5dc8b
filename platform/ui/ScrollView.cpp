#include "platform/ui/ScrollView.h"

#include "platform/foundation/RunLoop.h"
#include "platform/ui/DumpAttributes.h"
#include "platform/ui/ScrollViewDelegate.h"

#include <algorithm>
#include <cmath>

namespace pf {

namespace {
    // How far content follows a finger that pulls it `excess` points past an end, for a view
    // `dimension` points long: less and less, never more than the dimension.
    double rubberBand(double excess, double dimension)
    {
        if (dimension <= 0)
            return 0;
        double sign = excess < 0 ? -1 : 1;
        double x = std::fabs(excess);
        return sign * (1 - 1 / (x * 0.55 / dimension + 1)) * dimension;
    }

    // Below this speed (points per second) a release does not fling.
    constexpr double FlingThreshold = 20;
    // How far a fling carries per point-per-second of speed.
    constexpr double MomentumFactor = 0.35;
    constexpr double BounceBackDuration = 0.4;
    constexpr double PageSettleDuration = 0.3;
    constexpr double AnimatedScrollDuration = 0.3;
}

ScrollView::ScrollView()
{
    setClipsToBounds(true);
}

ScrollView::ScrollView(const Rect& frame)
    : View(frame)
{
    setClipsToBounds(true);
}

// The timer holds only a weak reference and drops itself once the view is gone, so the
// destructor never has to reach the run loop.
ScrollView::~ScrollView() = default;

Point ScrollView::minContentOffset() const
{
    return { -m_contentInset.left, -m_contentInset.top };
}

Point ScrollView::maxContentOffset() const
{
    Point min = minContentOffset();
    Size b = bounds().size;
    return { std::max(min.x, m_contentSize.width - b.width + m_contentInset.right),
        std::max(min.y, m_contentSize.height - b.height + m_contentInset.bottom) };
}

Point ScrollView::clampOffset(Point p) const
{
    Point min = minContentOffset(), max = maxContentOffset();
    return { std::clamp(p.x, min.x, max.x), std::clamp(p.y, min.y, max.y) };
}

bool ScrollView::canScrollHorizontally() const
{
    return m_alwaysBounceHorizontal || maxContentOffset().x > minContentOffset().x;
}

bool ScrollView::canScrollVertically() const
{
    return m_alwaysBounceVertical || maxContentOffset().y > minContentOffset().y;
}

void ScrollView::setContentSize(Size size)
{
    if (size == m_contentSize)
        return;
    m_contentSize = size;
    adjustOffsetIfResting();
}

void ScrollView::setContentInset(EdgeInsets inset)
{
    if (inset == m_contentInset)
        return;
    m_contentInset = inset;
    adjustOffsetIfResting();
}

void ScrollView::boundsSizeDidChange(Size)
{
    adjustOffsetIfResting();
}

void ScrollView::adjustOffsetIfResting()
{
    if (m_tracking || m_dragging || m_decelerating || m_animating)
        return;
    Point clamped = clampOffset(contentOffset());
    if (!(clamped == contentOffset()))
        applyOffset(clamped);
}

void ScrollView::applyOffset(Point offset)
{
    if (offset == contentOffset())
        return;
    auto self = sharedView();
    setBoundsOrigin(offset);
    setNeedsLayout();
    contentOffsetDidChange();
    if (auto d = delegate())
        d->scrollViewDidScroll(*this);
}

void ScrollView::setContentOffset(Point offset, bool animated)
{
    stopMotion();
    if (!animated) {
        applyOffset(offset);
        return;
    }
    if (offset == contentOffset()) {
        auto self = sharedView();
        if (auto d = delegate())
            d->scrollViewDidEndScrollingAnimation(*this);
        return;
    }
    startMotion(offset, AnimatedScrollDuration, false);
}

// --- the finger ---

void ScrollView::beginDrag()
{
    stopMotion();
    m_tracking = true;
    m_dragStart = contentOffset();
}

void ScrollView::dragTo(Point translation)
{
    if (!m_tracking || !m_scrollEnabled)
        return;
    auto self = sharedView();
    if (!m_dragging) {
        if (translation == Point {})
            return;
        m_dragging = true;
        if (auto d = delegate())
            d->scrollViewWillBeginDragging(*this);
    }
    Point min = minContentOffset(), max = maxContentOffset();
    Size b = bounds().size;
    auto follow = [&](double start, double delta, double lo, double hi, double dimension) {
        double wanted = start - delta;
        if (wanted < lo)
            return m_bounces ? lo + rubberBand(wanted - lo, dimension) : lo;
        if (wanted > hi)
            return m_bounces ? hi + rubberBand(wanted - hi, dimension) : hi;
        return wanted;
    };
    Point offset = contentOffset();
    if (canScrollHorizontally())
        offset.x = follow(m_dragStart.x, translation.x, min.x, max.x, b.width);
    if (canScrollVertically())
        offset.y = follow(m_dragStart.y, translation.y, min.y, max.y, b.height);
    applyOffset(offset);
}

Point ScrollView::pagedTarget(Point velocity) const
{
    // `velocity` is the content's (opposite to the finger).
    Size b = bounds().size;
    Point cur = contentOffset();
    auto page = [](double offset, double pageSize, double v) {
        if (pageSize <= 0)
            return offset;
        double exact = offset / pageSize;
        double index;
        if (v > FlingThreshold)
            index = std::ceil(exact - 1e-9);
        else if (v < -FlingThreshold)
            index = std::floor(exact + 1e-9);
        else
            index = std::round(exact);
        return index * pageSize;
    };
    Point target { page(cur.x, b.width, velocity.x), page(cur.y, b.height, velocity.y) };
    return clampOffset(target);
}

void ScrollView::endDrag(Point velocity)
{
    if (!m_tracking)
        return;
    auto self = sharedView();
    m_tracking = false;
    if (!m_dragging)
        return; // the finger never moved: a tap, not a drag
    Point content { canScrollHorizontally() ? -velocity.x : 0, canScrollVertically() ? -velocity.y : 0 };
    Point offset = contentOffset();
    bool outOfRange = !(clampOffset(offset) == offset);
    bool flung = std::hypot(content.x, content.y) >= FlingThreshold;
    bool willDecelerate = outOfRange || flung;
    if (m_paging && !(pagedTarget(content) == offset))
        willDecelerate = true;

    if (auto d = delegate())
        d->scrollViewDidEndDragging(*this, willDecelerate);
    m_dragging = false;
    if (!willDecelerate)
        return;

    // The delegate may have changed the inset (a pull-to-refresh header does): aim with the
    // current one.
    Point target;
    double duration;
    offset = contentOffset();
    if (m_paging) {
        target = pagedTarget(content);
        duration = PageSettleDuration;
    } else if (!(clampOffset(offset) == offset)) {
        target = clampOffset(offset);
        duration = BounceBackDuration;
    } else {
        target = clampOffset({ offset.x + content.x * MomentumFactor, offset.y + content.y * MomentumFactor });
        double distance = std::hypot(target.x - offset.x, target.y - offset.y);
        double speed = std::hypot(content.x, content.y);
        duration = speed > 0 ? std::clamp(2 * distance / speed, 0.2, 2.5) : 0.2;
    }
    m_decelerating = true;
    if (auto d = delegate())
        d->scrollViewWillBeginDecelerating(*this);
    if (m_decelerating)
        startMotion(target, duration, true);
}

void ScrollView::cancelDrag()
{
    if (!m_tracking)
        return;
    auto self = sharedView();
    m_tracking = false;
    bool wasDragging = m_dragging;
    if (wasDragging) {
        if (auto d = delegate())
            d->scrollViewDidEndDragging(*this, false);
    }
    m_dragging = false;
    adjustOffsetIfResting();
}

// --- motion ---

void ScrollView::startMotion(Point target, double duration, bool deceleration)
{
    if (m_timer)
        RunLoop::main().cancel(m_timer);
    m_timer = 0;
    m_animating = !deceleration;
    m_decelerating = deceleration;
    m_motionFrom = contentOffset();
    m_motionTo = target;
    m_motionStart = RunLoop::main().monotonicNow();
    m_motionDuration = std::max(duration, FrameInterval);
    std::weak_ptr<View> weak = sharedView();
    auto slot = std::make_shared<std::uint64_t>(0);
    *slot = RunLoop::main().postRepeating(FrameInterval, [weak, slot] {
        auto view = std::static_pointer_cast<ScrollView>(weak.lock());
        if (!view || view->m_timer != *slot) {
            RunLoop::main().cancel(*slot);
            return;
        }
        view->motionFrame();
    }, this);
    m_timer = *slot;
}

void ScrollView::motionFrame()
{
    auto self = sharedView();
    double t = (RunLoop::main().monotonicNow() - m_motionStart) / m_motionDuration;
    if (t < 1) {
        // Ease out: the content starts at full speed and comes to rest at the target.
        double k = 1 - (1 - t) * (1 - t);
        applyOffset({ m_motionFrom.x + (m_motionTo.x - m_motionFrom.x) * k, m_motionFrom.y + (m_motionTo.y - m_motionFrom.y) * k });
        return;
    }
    bool wasDecelerating = m_decelerating;
    RunLoop::main().cancel(m_timer);
    m_timer = 0;
    // A deceleration comes to rest within the range as it is now (an inset may have changed
    // meanwhile).
    Point target = wasDecelerating ? clampOffset(m_motionTo) : m_motionTo;
    applyOffset(target);
    m_decelerating = false;
    m_animating = false;
    if (auto d = delegate()) {
        if (wasDecelerating)
            d->scrollViewDidEndDecelerating(*this);
        else
            d->scrollViewDidEndScrollingAnimation(*this);
    }
}

void ScrollView::stopMotion()
{
    if (m_timer)
        RunLoop::main().cancel(m_timer);
    m_timer = 0;
    m_decelerating = false;
    m_animating = false;
}

void ScrollView::dumpAttributes(DumpAttributes& attributes) const
{
    Point o = contentOffset();
    if (!(o == Point {}))
        attributes.value("offset", "(" + DumpAttributes::number(o.x) + "," + DumpAttributes::number(o.y) + ")");
    attributes.value("content", "(" + DumpAttributes::number(m_contentSize.width) + "," + DumpAttributes::number(m_contentSize.height) + ")");
    if (!(m_contentInset == EdgeInsets {}))
        attributes.value("inset", "(" + DumpAttributes::number(m_contentInset.top) + "," + DumpAttributes::number(m_contentInset.left) + ","
                + DumpAttributes::number(m_contentInset.bottom) + "," + DumpAttributes::number(m_contentInset.right) + ")");
    if (m_paging)
        attributes.flag("paging");
    if (!m_scrollEnabled)
        attributes.flag("noscroll");
    View::dumpAttributes(attributes);
}

}
