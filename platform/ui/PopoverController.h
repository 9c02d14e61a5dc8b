#pragma once

#include "platform/graphics/Geometry.h"

#include <memory>
#include <vector>

namespace pf {

class PopoverController;
class View;
class ViewController;
class Window;

struct PopoverArrowDirection {
    static constexpr unsigned Unknown = 0;
    static constexpr unsigned Up = 1;
    static constexpr unsigned Down = 2;
    static constexpr unsigned Left = 4;
    static constexpr unsigned Right = 8;
    static constexpr unsigned Any = 15;
};

// May keep a popover from closing on a tap outside it, and hears that it closed. Optional.
class PopoverControllerDelegate {
public:
    virtual ~PopoverControllerDelegate() = default;
    virtual bool popoverControllerShouldDismissPopover(PopoverController& popover) { return true; }
    virtual void popoverControllerDidDismissPopover(PopoverController& popover) { }
};

// Shows a controller's view in a floating panel next to a rectangle of another view (the
// tablet's way of showing a small screen).
//
// Rules:
// - Presenting puts the panel over the window of the given view, with a layer under it that
//   takes every touch outside the panel except those on pass-through views. A tap on that
//   layer closes the popover (when the delegate agrees) and reports didDismiss; dismissing in
//   code reports nothing.
// - The panel has the content size (the content controller's preferred size when none was
//   set); it is placed below the rectangle (arrow up) when it fits, else above, else to the
//   side, within the window.
// - The content controller gets appearance callbacks when shown and hidden.
// - Whoever presents the popover keeps it; when it dies its panel leaves the screen.
class PopoverController : public std::enable_shared_from_this<PopoverController> {
public:
    explicit PopoverController(std::shared_ptr<ViewController> content);
    ~PopoverController();
    PopoverController(const PopoverController&) = delete;
    PopoverController& operator=(const PopoverController&) = delete;

    std::shared_ptr<ViewController> contentViewController() const { return m_content; }
    void setContentViewController(std::shared_ptr<ViewController> content);
    Size popoverContentSize() const;
    void setPopoverContentSize(Size size, bool animated = false);
    const std::vector<std::weak_ptr<View>>& passthroughViews() const { return m_passthrough; }
    void setPassthroughViews(std::vector<std::weak_ptr<View>> views) { m_passthrough = std::move(views); }
    std::shared_ptr<PopoverControllerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<PopoverControllerDelegate> delegate) { m_delegate = std::move(delegate); }

    void presentPopoverFromRect(const Rect& rect, const std::shared_ptr<View>& inView, unsigned arrowDirections, bool animated);
    void dismissPopoverAnimated(bool animated);
    bool isPopoverVisible() const { return m_visible; }
    unsigned popoverArrowDirection() const { return m_arrow; }
    // The panel holding the content (null when not shown).
    std::shared_ptr<View> panelView() const { return m_panel; }

    // For the layer under the panel: a tap outside.
    void tappedOutside();
    bool isPassthrough(Point windowPoint) const;

private:
    void removeViews();
    void layoutPanel();

    std::shared_ptr<ViewController> m_content;
    Size m_contentSize;
    std::vector<std::weak_ptr<View>> m_passthrough;
    std::weak_ptr<PopoverControllerDelegate> m_delegate;
    std::shared_ptr<View> m_background;
    std::shared_ptr<View> m_panel;
    std::weak_ptr<Window> m_window;
    Rect m_anchor;
    unsigned m_allowed { PopoverArrowDirection::Any };
    unsigned m_arrow { PopoverArrowDirection::Unknown };
    bool m_visible { false };
};

}
