#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/Layer.h"
#include "platform/ui/Responder.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pf {

class DumpAttributes;
class GestureRecognizer;
class ViewController;
class Window;

// How a view follows its superview's size changes (flags, combined with |).
struct Autoresizing {
    static constexpr unsigned None = 0;
    static constexpr unsigned FlexibleLeftMargin = 1u << 0;
    static constexpr unsigned FlexibleWidth = 1u << 1;
    static constexpr unsigned FlexibleRightMargin = 1u << 2;
    static constexpr unsigned FlexibleTopMargin = 1u << 3;
    static constexpr unsigned FlexibleHeight = 1u << 4;
    static constexpr unsigned FlexibleBottomMargin = 1u << 5;
};

// A rectangle on screen with ordered subviews. Nothing is drawn: a view is its state (frame,
// colours, texts, flags), which tests and the simulator read through the driver's dump.
//
// Rules:
// - The frame is in the superview's coordinates; the bounds are the view's own (a scroll view
//   moves its bounds origin). The centre is the frame's middle.
// - Subviews are ordered back to front; a view has at most one superview (held weakly) and
//   adding it elsewhere takes it out of the old one.
// - Hit-testing skips hidden views, views with alpha below 0.01 and views with user interaction
//   off (with all their subviews), and only finds subviews within their superview's bounds, as
//   on the platform (whether or not the superview clips).
// - Setting a property inside a block animation records an animation of it (see Animation); the
//   model value changes at once.
// - A size change re-lays the subviews by their autoresizing masks and marks the view as
//   needing layout; `layoutSubviews` runs in the next layout pass (a posted task, or
//   `layoutIfNeeded`).
class View : public Responder {
public:
    View();
    explicit View(const Rect& frame);
    ~View() override;

    std::shared_ptr<View> sharedView() { return std::static_pointer_cast<View>(shared_from_this()); }
    std::shared_ptr<const View> sharedView() const { return std::static_pointer_cast<const View>(shared_from_this()); }

    // --- geometry ---
    Rect frame() const { return m_frame; }
    virtual void setFrame(const Rect& frame);
    Rect bounds() const { return { m_boundsOrigin, m_frame.size }; }
    void setBounds(const Rect& bounds);
    Point center() const { return m_frame.center(); }
    void setCenter(Point center);

    // --- hierarchy ---
    std::shared_ptr<View> superview() const { return m_superview.lock(); }
    const std::vector<std::shared_ptr<View>>& subviews() const { return m_subviews; }
    void addSubview(const std::shared_ptr<View>& view);
    void insertSubview(const std::shared_ptr<View>& view, size_t index);
    void insertSubviewBelow(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling);
    void insertSubviewAbove(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling);
    void removeFromSuperview();
    void bringSubviewToFront(const std::shared_ptr<View>& view);
    void sendSubviewToBack(const std::shared_ptr<View>& view);
    void removeAllSubviews();
    bool isDescendantOf(const View* ancestor) const; // true for the view itself
    // Depth first, the view itself first; null when none has the tag.
    std::shared_ptr<View> viewWithTag(int tag);
    std::shared_ptr<Window> window() const;

    // --- appearance and state ---
    std::optional<Color> backgroundColor() const { return m_backgroundColor; }
    virtual void setBackgroundColor(std::optional<Color> color) { m_backgroundColor = color; }
    double alpha() const { return m_alpha; }
    void setAlpha(double alpha);
    bool isHidden() const { return m_hidden; }
    virtual void setHidden(bool hidden);
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    bool isUserInteractionEnabled() const { return m_userInteraction; }
    void setUserInteractionEnabled(bool on) { m_userInteraction = on; }
    bool clipsToBounds() const { return m_clipsToBounds; }
    void setClipsToBounds(bool on) { m_clipsToBounds = on; }
    unsigned autoresizingMask() const { return m_autoresizingMask; }
    void setAutoresizingMask(unsigned mask) { m_autoresizingMask = mask; }
    bool autoresizesSubviews() const { return m_autoresizesSubviews; }
    void setAutoresizesSubviews(bool on) { m_autoresizesSubviews = on; }
    Layer& layer() { return m_layer; }
    const Layer& layer() const { return m_layer; }

    // --- layout ---
    virtual void layoutSubviews() { }
    void setNeedsLayout();
    bool needsLayout() const { return m_needsLayout; }
    // Runs `layoutSubviews` here if needed, then in every subview.
    void layoutIfNeeded();
    // The size the view would like within `size`; the default is the current size.
    virtual Size sizeThatFits(Size size) const;
    // Resizes to `sizeThatFits` of the current size, keeping the origin.
    void sizeToFit();

    // --- hooks ---
    virtual void willMoveToSuperview(const std::shared_ptr<View>& newSuperview) { }
    virtual void didMoveToSuperview() { }
    virtual void didMoveToWindow() { }
    virtual void didAddSubview(const std::shared_ptr<View>& subview) { }
    virtual void willRemoveSubview(const std::shared_ptr<View>& subview) { }

    // --- hit-testing and coordinates ---
    // The deepest view that takes a touch at `point` (in this view's coordinates), or null.
    virtual std::shared_ptr<View> hitTest(Point point);
    virtual bool pointInside(Point point) const;
    Point convertPointToSuperview(Point p) const;
    // To and from the coordinates of the window (or of the topmost ancestor when not in one).
    Point convertPointToWindow(Point p) const;
    Point convertPointFromWindow(Point p) const;
    // Between two views (either may be null: the window's coordinates).
    Point convertPoint(Point p, const View* to) const;
    Rect convertRect(const Rect& r, const View* to) const;
    Rect frameInWindow() const;
    // The part of the view a person could see: its bounds in window coordinates clipped by
    // every clipping ancestor and by the window; empty when none.
    Rect visibleRectInWindow() const;
    // In a shown window, and neither it nor an ancestor is hidden or (nearly) transparent.
    bool isVisibleOnScreen() const;

    // --- responder chain ---
    std::shared_ptr<Responder> nextResponder() const override;
    // The controller whose root view this is (set by the controller).
    std::shared_ptr<ViewController> viewController() const { return m_viewController.lock(); }
    void setViewController(const std::shared_ptr<ViewController>& controller);

    // --- gesture recognisers ---
    void addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
    void removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
    const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const { return m_gestureRecognizers; }

    // --- inspection (the driver's dump and finders) ---
    // The class name on the dump line: the C++ class name without namespaces unless a class
    // gives a shorter one.
    virtual std::string dumpClassName() const;
    // Texts a person reads and state worth comparing; subclasses call the base first.
    virtual void dumpAttributes(DumpAttributes& attributes) const;
    // Normal: a line of its own. Transparent: no line, subviews shown as if they were the
    // parent's (containers that are an implementation detail). Hidden: no line and no subviews
    // (parts whose state the parent already reports, such as a button's title label).
    enum class DumpRole { Normal, Transparent, Hidden };
    DumpRole dumpRole() const { return m_dumpRole; }
    void setDumpRole(DumpRole role) { m_dumpRole = role; }
    // The outlet a layout gave this view (empty when none).
    const std::string& outletName() const { return m_outletName; }
    void setOutletName(std::string name) { m_outletName = std::move(name); }
    // What a person would call the view in a message ("the update box"), set where such a view
    // is made; empty when its class, frame and text describe it (see Driver::describe).
    const std::string& displayName() const { return m_displayName; }
    void setDisplayName(std::string name) { m_displayName = std::move(name); }

protected:
    // Scroll views move their bounds origin.
    void setBoundsOrigin(Point origin);
    Point boundsOrigin() const { return m_boundsOrigin; }
    // Called after the bounds size changed (before autoresizing the subviews).
    virtual void boundsSizeDidChange(Size oldSize) { }

private:
    void resizeSubviews(Size oldSize);
    void notifyMovedToWindow();
    void detachSubview(const std::shared_ptr<View>& view);

    Rect m_frame;
    Point m_boundsOrigin;
    std::weak_ptr<View> m_superview;
    std::vector<std::shared_ptr<View>> m_subviews;
    std::optional<Color> m_backgroundColor;
    double m_alpha { 1 };
    bool m_hidden { false };
    int m_tag { 0 };
    bool m_userInteraction { true };
    bool m_clipsToBounds { false };
    unsigned m_autoresizingMask { Autoresizing::None };
    bool m_autoresizesSubviews { true };
    bool m_needsLayout { false };
    Layer m_layer;
    std::weak_ptr<ViewController> m_viewController;
    std::vector<std::shared_ptr<GestureRecognizer>> m_gestureRecognizers;
    DumpRole m_dumpRole { DumpRole::Normal };
    std::string m_outletName;
    std::string m_displayName;
};

}
