#include "platform/ui/View.h"

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Animation.h"
#include "platform/ui/DumpAttributes.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <cxxabi.h>
#include <cstdlib>
#include <typeinfo>

namespace pf {

View::View()
    : m_layer(*this)
{
}

View::View(const Rect& frame)
    : m_frame(frame)
    , m_layer(*this)
{
}

View::~View()
{
    // Subviews outlive us only if someone else holds them: they must not point back.
    for (auto& sub : m_subviews)
        sub->m_superview.reset();
}

// --- geometry ---

void View::setFrame(const Rect& frame)
{
    PF_ASSERT_MAIN_THREAD();
    if (frame == m_frame)
        return;
    Rect old = m_frame;
    if (Animation::isRecording()) {
        Animation::recordChange(*this, "position", old.center(), frame.center());
        Animation::recordChange(*this, "bounds.size", { old.width(), old.height() }, { frame.width(), frame.height() });
    }
    m_frame = frame;
    if (!(old.size == frame.size)) {
        boundsSizeDidChange(old.size);
        resizeSubviews(old.size);
        setNeedsLayout();
    }
}

void View::setBounds(const Rect& bounds)
{
    // The centre stays where it is; the origin moves the contents.
    Point c = center();
    m_boundsOrigin = bounds.origin;
    setFrame({ c.x - bounds.width() / 2, c.y - bounds.height() / 2, bounds.width(), bounds.height() });
}

void View::setCenter(Point c)
{
    setFrame({ c.x - m_frame.width() / 2, c.y - m_frame.height() / 2, m_frame.width(), m_frame.height() });
}

void View::setBoundsOrigin(Point origin)
{
    m_boundsOrigin = origin;
}

void View::resizeSubviews(Size oldSize)
{
    if (!m_autoresizesSubviews)
        return;
    double dw = m_frame.width() - oldSize.width;
    double dh = m_frame.height() - oldSize.height;
    for (auto& sub : std::vector<std::shared_ptr<View>>(m_subviews)) {
        unsigned mask = sub->m_autoresizingMask;
        if (mask == Autoresizing::None)
            continue;
        Rect f = sub->m_frame;
        // The change is shared between the flexible parts in proportion to their sizes, as on
        // the platform; with no flexible part on an axis nothing moves on it.
        auto share = [](double delta, bool flexLead, double lead, bool flexSize, double size, bool flexTrail, double trail,
                         double& outLead, double& outSize) {
            double total = (flexLead ? lead : 0) + (flexSize ? size : 0) + (flexTrail ? trail : 0);
            int count = int(flexLead) + int(flexSize) + int(flexTrail);
            outLead = 0;
            outSize = 0;
            if (count == 0)
                return;
            if (total <= 0) {
                outLead = flexLead ? delta / count : 0;
                outSize = flexSize ? delta / count : 0;
                return;
            }
            outLead = flexLead ? delta * lead / total : 0;
            outSize = flexSize ? delta * size / total : 0;
        };
        double dx, dwid, dy, dhei;
        share(dw, mask & Autoresizing::FlexibleLeftMargin, f.x(), mask & Autoresizing::FlexibleWidth, f.width(),
            mask & Autoresizing::FlexibleRightMargin, oldSize.width - f.x() - f.width(), dx, dwid);
        share(dh, mask & Autoresizing::FlexibleTopMargin, f.y(), mask & Autoresizing::FlexibleHeight, f.height(),
            mask & Autoresizing::FlexibleBottomMargin, oldSize.height - f.y() - f.height(), dy, dhei);
        sub->setFrame({ f.x() + dx, f.y() + dy, std::max(0.0, f.width() + dwid), std::max(0.0, f.height() + dhei) });
    }
}

// --- hierarchy ---

void View::addSubview(const std::shared_ptr<View>& view)
{
    PF_ASSERT_MAIN_THREAD();
    insertSubview(view, m_subviews.size());
}

void View::detachSubview(const std::shared_ptr<View>& view)
{
    auto it = std::find(m_subviews.begin(), m_subviews.end(), view);
    if (it != m_subviews.end())
        m_subviews.erase(it);
}

void View::insertSubview(const std::shared_ptr<View>& view, size_t index)
{
    if (!view || view.get() == this || isDescendantOf(view.get()))
        return; // a view cannot contain itself or an ancestor
    auto self = sharedView();
    auto old = view->superview();
    if (old.get() == this) {
        // Reordering within the same superview.
        detachSubview(view);
        index = std::min(index, m_subviews.size());
        m_subviews.insert(m_subviews.begin() + static_cast<std::ptrdiff_t>(index), view);
        return;
    }
    auto oldWindow = view->window();
    view->willMoveToSuperview(self);
    if (old) {
        old->willRemoveSubview(view);
        old->detachSubview(view);
    }
    index = std::min(index, m_subviews.size());
    m_subviews.insert(m_subviews.begin() + static_cast<std::ptrdiff_t>(index), view);
    view->m_superview = self;
    view->didMoveToSuperview();
    if (view->window() != oldWindow)
        view->notifyMovedToWindow();
    didAddSubview(view);
}

void View::insertSubviewBelow(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling)
{
    auto it = std::find(m_subviews.begin(), m_subviews.end(), sibling);
    if (it == m_subviews.end()) {
        addSubview(view);
        return;
    }
    size_t index = static_cast<size_t>(it - m_subviews.begin());
    if (view && view->superview().get() == this) {
        auto cur = std::find(m_subviews.begin(), m_subviews.end(), view);
        if (cur < it)
            --index;
    }
    insertSubview(view, index);
}

void View::insertSubviewAbove(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling)
{
    auto it = std::find(m_subviews.begin(), m_subviews.end(), sibling);
    if (it == m_subviews.end()) {
        addSubview(view);
        return;
    }
    size_t index = static_cast<size_t>(it - m_subviews.begin()) + 1;
    if (view && view->superview().get() == this) {
        auto cur = std::find(m_subviews.begin(), m_subviews.end(), view);
        if (cur < it)
            --index;
    }
    insertSubview(view, index);
}

void View::removeFromSuperview()
{
    PF_ASSERT_MAIN_THREAD();
    auto old = superview();
    if (!old)
        return;
    auto self = sharedView(); // keep alive while the hooks run
    bool wasInWindow = window() != nullptr;
    willMoveToSuperview(nullptr);
    old->willRemoveSubview(self);
    old->detachSubview(self);
    m_superview.reset();
    didMoveToSuperview();
    if (wasInWindow)
        notifyMovedToWindow();
    // A first responder that leaves the screen gives up its status.
    if (auto first = Responder::currentFirstResponder()) {
        if (auto firstView = std::dynamic_pointer_cast<View>(first); firstView && firstView->isDescendantOf(this))
            firstView->resignFirstResponder();
    }
}

void View::notifyMovedToWindow()
{
    didMoveToWindow();
    for (auto& sub : std::vector<std::shared_ptr<View>>(m_subviews))
        sub->notifyMovedToWindow();
}

void View::bringSubviewToFront(const std::shared_ptr<View>& view)
{
    auto it = std::find(m_subviews.begin(), m_subviews.end(), view);
    if (it == m_subviews.end())
        return;
    m_subviews.erase(it);
    m_subviews.push_back(view);
}

void View::sendSubviewToBack(const std::shared_ptr<View>& view)
{
    auto it = std::find(m_subviews.begin(), m_subviews.end(), view);
    if (it == m_subviews.end())
        return;
    m_subviews.erase(it);
    m_subviews.insert(m_subviews.begin(), view);
}

void View::removeAllSubviews()
{
    auto copy = m_subviews;
    for (auto& sub : copy)
        sub->removeFromSuperview();
}

bool View::isDescendantOf(const View* ancestor) const
{
    if (!ancestor)
        return false;
    for (const View* v = this; v; ) {
        if (v == ancestor)
            return true;
        auto sup = v->m_superview.lock();
        v = sup.get();
    }
    return false;
}

std::shared_ptr<View> View::viewWithTag(int tag)
{
    if (m_tag == tag)
        return sharedView();
    for (auto& sub : m_subviews)
        if (auto found = sub->viewWithTag(tag))
            return found;
    return nullptr;
}

std::shared_ptr<Window> View::window() const
{
    // Raw walk: this may run while the view is still being constructed (no owner yet).
    const View* v = this;
    std::shared_ptr<View> keep;
    while (v) {
        if (auto w = dynamic_cast<const Window*>(v))
            return std::static_pointer_cast<Window>(std::const_pointer_cast<Responder>(w->weak_from_this().lock()));
        keep = v->superview();
        v = keep.get();
    }
    return nullptr;
}

// --- appearance ---

void View::setAlpha(double alpha)
{
    alpha = std::clamp(alpha, 0.0, 1.0);
    if (alpha == m_alpha)
        return;
    Animation::recordChange(*this, "opacity", { m_alpha, 0 }, { alpha, 0 });
    m_alpha = alpha;
}

void View::setHidden(bool hidden)
{
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    if (hidden) {
        if (auto first = Responder::currentFirstResponder()) {
            if (auto firstView = std::dynamic_pointer_cast<View>(first); firstView && firstView->isDescendantOf(this))
                firstView->resignFirstResponder();
        }
    }
}

// --- layout ---

void View::setNeedsLayout()
{
    if (m_needsLayout)
        return;
    m_needsLayout = true;
    if (auto w = window())
        w->scheduleLayoutPass();
}

void View::layoutIfNeeded()
{
    auto self = sharedView();
    if (m_needsLayout) {
        m_needsLayout = false;
        layoutSubviews();
    }
    for (auto& sub : std::vector<std::shared_ptr<View>>(m_subviews))
        sub->layoutIfNeeded();
}

Size View::sizeThatFits(Size) const
{
    return m_frame.size;
}

void View::sizeToFit()
{
    Size s = sizeThatFits(m_frame.size);
    setFrame({ m_frame.origin, s });
}

// --- hit-testing ---

bool View::pointInside(Point point) const
{
    return bounds().contains(point);
}

std::shared_ptr<View> View::hitTest(Point point)
{
    if (m_hidden || !m_userInteraction || m_alpha < 0.01)
        return nullptr;
    if (!pointInside(point))
        return nullptr;
    auto subs = m_subviews; // a hook may change the list
    for (auto it = subs.rbegin(); it != subs.rend(); ++it) {
        const auto& sub = *it;
        Point local { point.x - sub->m_frame.x() + sub->m_boundsOrigin.x, point.y - sub->m_frame.y() + sub->m_boundsOrigin.y };
        if (auto hit = sub->hitTest(local))
            return hit;
    }
    return sharedView();
}

Point View::convertPointToSuperview(Point p) const
{
    return { p.x - m_boundsOrigin.x + m_frame.x(), p.y - m_boundsOrigin.y + m_frame.y() };
}

Point View::convertPointToWindow(Point p) const
{
    const View* v = this;
    std::shared_ptr<View> keep;
    while (v) {
        if (dynamic_cast<const Window*>(v))
            return p; // a window's own coordinates are the window coordinates
        auto sup = v->superview();
        if (!sup)
            return p;
        p = v->convertPointToSuperview(p);
        keep = sup;
        v = keep.get();
    }
    return p;
}

Point View::convertPointFromWindow(Point p) const
{
    Point origin = convertPointToWindow({ 0, 0 });
    return { p.x - origin.x, p.y - origin.y };
}

Point View::convertPoint(Point p, const View* to) const
{
    Point inWindow = convertPointToWindow(p);
    return to ? to->convertPointFromWindow(inWindow) : inWindow;
}

Rect View::convertRect(const Rect& r, const View* to) const
{
    Point o = convertPoint(r.origin, to);
    return { o, r.size };
}

Rect View::frameInWindow() const
{
    return convertRect(bounds(), nullptr);
}

Rect View::visibleRectInWindow() const
{
    Rect rect = frameInWindow();
    auto w = window();
    if (!w)
        return {};
    for (auto sup = superview(); sup; sup = sup->superview()) {
        if (sup->clipsToBounds() || sup.get() == w.get()) {
            rect = rect.intersection(sup->frameInWindow());
            if (rect.isEmpty())
                return {};
        }
    }
    return rect;
}

bool View::isVisibleOnScreen() const
{
    auto w = window();
    if (!w || !w->isShown())
        return false;
    for (std::shared_ptr<const View> v = sharedView(); v; v = v->superview()) {
        if (v->isHidden() || v->alpha() < 0.01)
            return false;
    }
    return true;
}

// --- responder chain ---

std::shared_ptr<Responder> View::nextResponder() const
{
    if (auto controller = m_viewController.lock())
        return controller;
    return superview();
}

void View::setViewController(const std::shared_ptr<ViewController>& controller)
{
    m_viewController = controller;
}

// --- gestures ---

void View::addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer)
{
    if (!recognizer)
        return;
    if (auto old = recognizer->view(); old && old.get() != this)
        old->removeGestureRecognizer(recognizer);
    if (std::find(m_gestureRecognizers.begin(), m_gestureRecognizers.end(), recognizer) == m_gestureRecognizers.end())
        m_gestureRecognizers.push_back(recognizer);
    recognizer->attachToView(sharedView());
}

void View::removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer)
{
    auto it = std::find(m_gestureRecognizers.begin(), m_gestureRecognizers.end(), recognizer);
    if (it == m_gestureRecognizers.end())
        return;
    m_gestureRecognizers.erase(it);
    recognizer->attachToView(nullptr);
}

// --- inspection ---

std::string View::dumpClassName() const
{
    const char* mangled = typeid(*this).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = (status == 0 && demangled) ? demangled : mangled;
    std::free(demangled);
    auto colon = name.rfind("::");
    if (colon != std::string::npos)
        name = name.substr(colon + 2);
    return name;
}

void View::dumpAttributes(DumpAttributes& attributes) const
{
    if (!m_outletName.empty())
        attributes.value("outlet", m_outletName);
    if (m_tag != 0)
        attributes.value("tag", std::to_string(m_tag));
    if (m_backgroundColor && m_backgroundColor->alpha > 0)
        attributes.value("bg", m_backgroundColor->hexString());
    // What a person sees: mid-fade, the animated value rather than the one it is heading to.
    double shown = m_layer.presentationOpacity();
    if (shown < 1)
        attributes.value("alpha", DumpAttributes::number(shown));
}

}
