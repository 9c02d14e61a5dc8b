#include "platform/ui/PopoverController.h"

#include "platform/foundation/Log.h"
#include "platform/ui/Touch.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

#include <algorithm>

namespace pf {

namespace {

    // Takes the touches around a popover: a tap closes it; pass-through views stay touchable.
    class PopoverBackgroundView : public View {
    public:
        PopoverBackgroundView(const Rect& frame, std::weak_ptr<PopoverController> owner)
            : View(frame)
            , m_owner(std::move(owner))
        {
        }

        bool pointInside(Point point) const override
        {
            if (!View::pointInside(point))
                return false;
            auto owner = m_owner.lock();
            return owner && !owner->isPassthrough(convertPointToWindow(point));
        }

        void touchesBegan(const Touch&) override { }
        void touchesMoved(const Touch&) override { }
        void touchesCancelled(const Touch&) override { }
        void touchesEnded(const Touch&) override
        {
            if (auto owner = m_owner.lock())
                owner->tappedOutside();
        }

    private:
        std::weak_ptr<PopoverController> m_owner;
    };

    constexpr double ArrowSize = 13;
}

PopoverController::PopoverController(std::shared_ptr<ViewController> content)
    : m_content(std::move(content))
{
}

PopoverController::~PopoverController()
{
    removeViews();
}

void PopoverController::setContentViewController(std::shared_ptr<ViewController> content)
{
    if (content == m_content)
        return;
    if (m_visible && m_content) {
        m_content->beginAppearanceTransition(false, false);
        if (m_content->isViewLoaded())
            m_content->viewIfLoaded()->removeFromSuperview();
        m_content->endAppearanceTransition();
    }
    m_content = std::move(content);
    if (m_visible && m_content) {
        m_content->beginAppearanceTransition(true, false);
        m_panel->addSubview(m_content->view());
        layoutPanel();
        m_content->endAppearanceTransition();
    }
}

Size PopoverController::popoverContentSize() const
{
    if (!m_contentSize.isEmpty())
        return m_contentSize;
    if (m_content && !m_content->preferredContentSize().isEmpty())
        return m_content->preferredContentSize();
    return { 320, 480 };
}

void PopoverController::setPopoverContentSize(Size size, bool)
{
    m_contentSize = size;
    if (m_visible)
        layoutPanel();
}

bool PopoverController::isPassthrough(Point windowPoint) const
{
    for (const auto& weak : m_passthrough) {
        auto v = weak.lock();
        if (v && v->frameInWindow().contains(windowPoint))
            return true;
    }
    return false;
}

void PopoverController::presentPopoverFromRect(const Rect& rect, const std::shared_ptr<View>& inView, unsigned arrowDirections, bool animated)
{
    auto window = inView ? inView->window() : nullptr;
    if (!window) {
        Log::line("A popover can only be presented from a view in a window");
        return;
    }
    if (m_visible)
        removeViews();
    m_window = window;
    m_anchor = inView->convertRect(rect, nullptr);
    m_allowed = arrowDirections == PopoverArrowDirection::Unknown ? PopoverArrowDirection::Any : arrowDirections;
    m_background = std::make_shared<PopoverBackgroundView>(window->bounds(), weak_from_this());
    m_background->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    m_panel = std::make_shared<View>();
    m_panel->setBackgroundColor(Color::white());
    m_panel->layer().setCornerRadius(8);
    m_panel->setClipsToBounds(true);
    window->addSubview(m_background);
    window->addSubview(m_panel);
    m_visible = true;
    if (m_content) {
        m_content->beginAppearanceTransition(true, animated);
        m_panel->addSubview(m_content->view());
    }
    layoutPanel();
    if (m_content)
        m_content->endAppearanceTransition();
}

void PopoverController::layoutPanel()
{
    auto window = m_window.lock();
    if (!window || !m_panel)
        return;
    Size size = popoverContentSize();
    Rect w = window->bounds();
    const Rect& a = m_anchor;
    auto clampX = [&](double x) { return std::clamp(x, 0.0, std::max(0.0, w.width() - size.width)); };
    auto clampY = [&](double y) { return std::clamp(y, 0.0, std::max(0.0, w.height() - size.height)); };
    Rect frame;
    if ((m_allowed & PopoverArrowDirection::Up) && a.maxY() + ArrowSize + size.height <= w.maxY()) {
        m_arrow = PopoverArrowDirection::Up;
        frame = { clampX(a.midX() - size.width / 2), a.maxY() + ArrowSize, size.width, size.height };
    } else if ((m_allowed & PopoverArrowDirection::Down) && a.minY() - ArrowSize - size.height >= w.minY()) {
        m_arrow = PopoverArrowDirection::Down;
        frame = { clampX(a.midX() - size.width / 2), a.minY() - ArrowSize - size.height, size.width, size.height };
    } else if ((m_allowed & PopoverArrowDirection::Left) && a.maxX() + ArrowSize + size.width <= w.maxX()) {
        m_arrow = PopoverArrowDirection::Left;
        frame = { a.maxX() + ArrowSize, clampY(a.midY() - size.height / 2), size.width, size.height };
    } else if ((m_allowed & PopoverArrowDirection::Right) && a.minX() - ArrowSize - size.width >= w.minX()) {
        m_arrow = PopoverArrowDirection::Right;
        frame = { a.minX() - ArrowSize - size.width, clampY(a.midY() - size.height / 2), size.width, size.height };
    } else {
        // Nowhere it fits with an arrow: centred in the window.
        m_arrow = PopoverArrowDirection::Unknown;
        frame = { clampX((w.width() - size.width) / 2), clampY((w.height() - size.height) / 2), size.width, size.height };
    }
    m_panel->setFrame(frame);
    if (m_content && m_content->isViewLoaded())
        m_content->viewIfLoaded()->setFrame({ 0, 0, size.width, size.height });
}

void PopoverController::tappedOutside()
{
    auto self = shared_from_this();
    if (auto d = delegate(); d && !d->popoverControllerShouldDismissPopover(*this))
        return;
    dismissPopoverAnimated(true);
    if (auto d = delegate())
        d->popoverControllerDidDismissPopover(*this);
}

void PopoverController::dismissPopoverAnimated(bool animated)
{
    if (!m_visible)
        return;
    if (m_content)
        m_content->beginAppearanceTransition(false, animated);
    removeViews();
    if (m_content)
        m_content->endAppearanceTransition();
}

void PopoverController::removeViews()
{
    m_visible = false;
    if (m_content && m_content->isViewLoaded() && m_panel && m_content->viewIfLoaded()->superview() == m_panel)
        m_content->viewIfLoaded()->removeFromSuperview();
    if (m_background)
        m_background->removeFromSuperview();
    if (m_panel)
        m_panel->removeFromSuperview();
    m_background.reset();
    m_panel.reset();
}

}
