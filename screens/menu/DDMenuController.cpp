#include "screens/menu/DDMenuController.h"

#include "core/views/CustomControlApperanceCreator.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/ui/Animation.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Interaction.h"
#include "platform/ui/KeyframeAnimation.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/Transaction.h"
#include "platform/ui/View.h"
#include "screens/menu/DDMenuControllerDelegate.h"

#include <cmath>

namespace {

// Runs `changes` without animation when `animated` is off, then restores the switch.
void withAnimations(bool animated, const std::function<void()>& changes)
{
    bool enabled = pf::Animation::areAnimationsEnabled();
    if (!animated)
        pf::Animation::setAnimationsEnabled(false);
    changes();
    if (!animated)
        pf::Animation::setAnimationsEnabled(enabled);
}

// A still picture of a screen: opaque, at the screen's scale. Views paint nothing on this
// platform, so what it holds is the screen's background.
std::shared_ptr<pf::Image> stillPicture(pf::Size size, const pf::Color& background)
{
    pf::BitmapContext context(size, pf::Screen::main().scale());
    context.setFillColor(background);
    context.fillRect({ { 0, 0 }, size });
    return context.makeImage();
}

}

DDMenuController::DDMenuController()
{
    onAction("showLeft:", [this](const std::shared_ptr<pf::View>&) { showLeft(); });
    onAction("showRight:", [this](const std::shared_ptr<pf::View>&) { showRight(); });
}

DDMenuController::DDMenuController(std::shared_ptr<pf::ViewController> rootViewController)
    : DDMenuController()
{
    // Installed when the view loads.
    m_root = std::move(rootViewController);
}

DDMenuController::~DDMenuController() = default;

std::shared_ptr<DDMenuController> DDMenuController::self()
{
    return std::static_pointer_cast<DDMenuController>(shared_from_this());
}

std::shared_ptr<pf::View> DDMenuController::rootView() const
{
    return m_root ? m_root->view() : nullptr;
}

void DDMenuController::viewDidLoad()
{
    AdaptedViewController::viewDidLoad();
    setRootViewController(m_root);
    if (!m_tap) {
        std::weak_ptr<DDMenuController> weak = self();
        m_tap = std::make_shared<pf::TapGestureRecognizer>([weak](pf::GestureRecognizer& r) {
            if (auto strong = weak.lock())
                strong->tap(r);
        });
        m_tap->setDelegate(std::weak_ptr<pf::GestureRecognizerDelegate>(self()));
        view()->addGestureRecognizer(m_tap);
        m_tap->setEnabled(false);
    }
}

void DDMenuController::setRootViewController(std::shared_ptr<pf::ViewController> controller)
{
    auto old = m_root;
    m_root = std::move(controller);
    if (old && old != m_root) {
        if (auto oldView = old->viewIfLoaded())
            oldView->removeFromSuperview();
        old->removeFromParentViewController();
    }
    if (m_root && isViewLoaded()) {
        addChildViewController(m_root);
        auto centre = m_root->view();
        centre->setFrame(view()->bounds());
        // The container may be resized later (a tablet's popover); the centre follows it.
        centre->setAutoresizingMask(pf::Autoresizing::FlexibleWidth | pf::Autoresizing::FlexibleHeight);
        view()->addSubview(centre);
        std::weak_ptr<DDMenuController> weak = self();
        m_pan = std::make_shared<pf::PanGestureRecognizer>([weak](pf::GestureRecognizer& r) {
            if (auto strong = weak.lock())
                strong->pan(r);
        });
        m_pan->setDelegate(std::weak_ptr<pf::GestureRecognizerDelegate>(self()));
        centre->addGestureRecognizer(m_pan);
    }
    resetNavButtons();
}

void DDMenuController::setLeftViewController(std::shared_ptr<pf::ViewController> controller)
{
    m_left = std::move(controller);
    resetNavButtons();
}

void DDMenuController::setRightViewController(std::shared_ptr<pf::ViewController> controller)
{
    m_right = std::move(controller);
    resetNavButtons();
}

void DDMenuController::resetNavButtons()
{
    if (!m_root)
        return;
    std::shared_ptr<pf::ViewController> screen = m_root;
    if (auto navigation = std::dynamic_pointer_cast<pf::NavigationController>(m_root))
        screen = navigation->viewControllers().empty() ? nullptr : navigation->viewControllers().front();
    if (!screen)
        return;
    // Without a side, only a menu button of ours is taken away: the screen's own buttons stay
    // (the first screen may set its own before or after the container does this).
    auto& item = screen->navigationItem();
    if (canShowLeft()) {
        bool modern = pf::Device::current().systemVersionFloat() >= 7.0;
        assignLeftBarButton(screen, kMenuImage, { modern ? 6.0 : 16.0, 13, 16, 17 }, "showLeft:");
        m_leftButtonItem = item.leftBarButtonItem();
    } else if (item.leftBarButtonItem() && item.leftBarButtonItem() == m_leftButtonItem.lock()) {
        item.setLeftBarButtonItem(nullptr);
    }
    if (canShowRight()) {
        item.setRightBarButtonItem(std::make_shared<pf::BarButtonItem>(CustomControlApperanceCreator::bundleImage(kRightMenuImage),
            pf::BarButtonItemStyle::Bordered, std::weak_ptr<pf::Responder>(self()), "showRight:"));
        m_rightButtonItem = item.rightBarButtonItem();
    } else if (item.rightBarButtonItem() && item.rightBarButtonItem() == m_rightButtonItem.lock()) {
        item.setRightBarButtonItem(nullptr);
    }
}

void DDMenuController::assignLeftBarButton(const std::shared_ptr<pf::ViewController>& controller, const std::string& imageName,
    pf::Rect frame, const std::string& action)
{
    using C = CustomControlApperanceCreator;
    auto container = std::make_shared<pf::ImageView>(pf::Rect { 0, 0, C::kBarButtonWidth, C::kBarButtonHeight });
    container->setUserInteractionEnabled(true);
    if (pf::Device::current().isTablet())
        frame.origin.x = (C::kBarButtonWidth - frame.width()) / 2;
    auto icon = std::make_shared<pf::ImageView>(frame);
    icon->setUserInteractionEnabled(true);
    icon->setImage(C::bundleImage(imageName));
    container->addSubview(icon);
    auto button = std::make_shared<pf::Button>(pf::ButtonType::Custom, container->bounds());
    button->addTarget(self(), action, pf::ControlEvent::TouchUpInside);
    container->addSubview(button);
    controller->navigationItem().setLeftBarButtonItem(std::make_shared<pf::BarButtonItem>(container));
}

void DDMenuController::showShadow(bool on)
{
    auto centre = rootView();
    if (!centre)
        return;
    auto& layer = centre->layer();
    layer.setShadowOpacity(on ? kShadowOpacity : 0.0);
    if (on) {
        layer.setCornerRadius(4);
        layer.setShadowOffset({ 0, 0 });
        layer.setShadowRadius(4);
        layer.setShadowPath(view()->bounds());
    }
}

// --- the side views ---

void DDMenuController::uncoverLeftView()
{
    m_showingLeftView = true;
    auto side = m_left->view();
    pf::Rect frame = view()->bounds();
    frame.size.width = kSideViewWidth;
    side->setFrame(frame);
    view()->insertSubview(side, 0);
}

void DDMenuController::uncoverRightView()
{
    m_showingRightView = true;
    auto side = m_right->view();
    pf::Rect bounds = view()->bounds();
    side->setFrame({ bounds.x() + bounds.width() - kSideViewWidth, bounds.y(), kSideViewWidth, bounds.height() });
    view()->insertSubview(side, 0);
}

void DDMenuController::coverLeftView()
{
    m_showingLeftView = false;
    if (m_left && m_left->viewIfLoaded())
        m_left->viewIfLoaded()->removeFromSuperview();
}

void DDMenuController::coverRightView()
{
    m_showingRightView = false;
    if (m_right && m_right->viewIfLoaded())
        m_right->viewIfLoaded()->removeFromSuperview();
}

void DDMenuController::slide(double x, bool animated, std::function<void()> completion)
{
    auto centre = rootView();
    pf::Rect frame = centre->frame();
    frame.origin.x = x;
    withAnimations(animated, [&] {
        pf::Animation::animate(kSlideDuration, [centre, frame] { centre->setFrame(frame); },
            [completion = std::move(completion)](bool) { completion(); });
    });
}

// --- showing ---

void DDMenuController::showRootController(bool animated)
{
    auto centre = rootView();
    if (!centre)
        return;
    if (m_tap)
        m_tap->setEnabled(false);
    centre->setUserInteractionEnabled(true);
    std::weak_ptr<DDMenuController> weak = self();
    slide(0, animated, [weak] {
        auto strong = weak.lock();
        if (!strong)
            return;
        strong->coverLeftView();
        strong->coverRightView();
        strong->m_isShowSideView = false;
        strong->showShadow(false);
    });
}

void DDMenuController::showLeftController(bool animated)
{
    auto centre = rootView();
    if (!canShowLeft() || !centre)
        return;
    if (m_right && m_right->viewIfLoaded() && m_right->viewIfLoaded()->superview())
        coverRightView();
    if (auto d = delegate())
        d->menuControllerWillShowViewController(*this, m_left);
    m_isShowSideView = true;
    showShadow(true);
    uncoverLeftView();
    m_left->viewWillAppear(animated);
    double x = m_left->view()->frame().maxX() - kLeftOpenOffset;
    centre->setUserInteractionEnabled(false);
    std::weak_ptr<DDMenuController> weak = self();
    slide(x, animated, [weak] {
        if (auto strong = weak.lock(); strong && strong->m_tap)
            strong->m_tap->setEnabled(true);
    });
    centre->setUserInteractionEnabled(true);
}

void DDMenuController::showRightController(bool animated)
{
    auto centre = rootView();
    if (!canShowRight() || !centre)
        return;
    if (m_left && m_left->viewIfLoaded() && m_left->viewIfLoaded()->superview())
        coverLeftView();
    if (auto d = delegate())
        d->menuControllerWillShowViewController(*this, m_right);
    m_isShowSideView = true;
    showShadow(true);
    uncoverRightView();
    double x = -(centre->frame().width() - (view()->bounds().width() - kMenuWidth));
    centre->setUserInteractionEnabled(false);
    std::weak_ptr<DDMenuController> weak = self();
    slide(x, animated, [weak] {
        if (auto strong = weak.lock(); strong && strong->m_tap)
            strong->m_tap->setEnabled(true);
    });
    centre->setUserInteractionEnabled(true);
}

void DDMenuController::showLeft()
{
    if (m_isShowSideView)
        showRootController(true);
    else
        showLeftController(true);
}

void DDMenuController::showRight()
{
    if (m_isShowSideView)
        showRootController(true);
    else
        showRightController(true);
}

void DDMenuController::setRootController(std::shared_ptr<pf::ViewController> controller, bool animated)
{
    if (!controller) {
        setRootViewController(nullptr);
        return;
    }
    if (!m_showingLeftView || !rootView()) {
        setRootViewController(std::move(controller));
        showRootController(animated);
        return;
    }
    // The old centre slides out to the right before the new one slides in from there.
    pf::Interaction::beginIgnoringEvents();
    auto centre = rootView();
    pf::Rect offscreen = centre->frame();
    offscreen.origin.x = view()->bounds().width();
    std::weak_ptr<DDMenuController> weak = self();
    pf::Animation::animate(0.1, [centre, offscreen] { centre->setFrame(offscreen); },
        [weak, controller, offscreen, animated](bool) {
            pf::Interaction::endIgnoringEvents();
            auto strong = weak.lock();
            if (!strong)
                return;
            strong->setRootViewController(controller);
            controller->view()->setFrame(offscreen);
            strong->showRootController(animated);
        });
}

void DDMenuController::pushViewController(std::shared_ptr<pf::ViewController> controller, bool animated)
{
    if (!m_root) {
        pf::Log::line("DDMenuController: no root controller set");
        return;
    }
    auto navigation = std::dynamic_pointer_cast<pf::NavigationController>(m_root);
    if (!navigation) {
        pf::Log::line("root controller is not a navigation controller.");
        return;
    }
    if (!m_showingRightView) {
        navigation->pushViewController(controller, animated);
        return;
    }
    // A still picture of the screen as it is lies over everything while the pushed screen
    // goes in at once and the centre comes back from beyond its right edge.
    auto container = view();
    pf::Color opaque = container->backgroundColor().value_or(pf::Color::black());
    opaque.alpha = 1;
    auto still = std::make_shared<pf::ImageView>(container->bounds());
    still->setImage(stillPicture(container->bounds().size, opaque));
    still->setBackgroundColor(opaque);
    container->addSubview(still);
    m_stillPictureView = still;

    navigation->pushViewController(controller, false);
    auto centre = rootView();
    pf::Rect offscreen = centre->frame();
    offscreen.origin.x = offscreen.width();
    pf::Animation::performWithoutAnimation([&] { centre->setFrame(offscreen); });
    // The platform's views carry no transform, so the frame carries the slide (left by the
    // application frame's width, or up by its height when the interface lies on its side) and
    // gives it back at the end, as a transform would be given back.
    const pf::Screen& screen = pf::Screen::main();
    pf::Rect application = screen.applicationFrame();
    pf::Rect slid = offscreen;
    if (screen.isLandscape())
        slid.origin.y -= application.height();
    else
        slid.origin.x -= application.width();
    std::weak_ptr<DDMenuController> weak = self();
    pf::Animation::animate(kPushSlideDuration, [centre, slid] { centre->setFrame(slid); },
        [weak, centre, offscreen, still](bool) {
            pf::Animation::performWithoutAnimation([&] { centre->setFrame(offscreen); });
            if (auto strong = weak.lock())
                strong->showRootController(false);
            still->removeFromSuperview();
        });
}

std::shared_ptr<pf::ImageView> DDMenuController::stillPictureView() const
{
    auto still = m_stillPictureView.lock();
    return still && still->superview() ? still : nullptr;
}

// --- gestures ---

bool DDMenuController::gestureRecognizerShouldBegin(pf::GestureRecognizer& recognizer)
{
    if (&recognizer == m_pan.get()) {
        pf::Point translation = m_pan->translationInView(view().get());
        pf::Point velocity = m_pan->velocityInView(view().get());
        // Sideways rather than up or down; a purely sideways drag divides by zero and passes,
        // one that has not moved gives no number and fails.
        double ratio = std::sqrt(translation.x * translation.x) / std::sqrt(translation.y * translation.y);
        return velocity.x < kPanAdmissionSpeed && ratio > 1;
    }
    if (&recognizer == m_tap.get()) {
        auto centre = rootView();
        if (!centre || (!m_showingLeftView && !m_showingRightView))
            return false;
        return centre->frame().contains(m_tap->locationInView(view().get()));
    }
    return true;
}

bool DDMenuController::gestureRecognizerShouldRecognizeSimultaneously(pf::GestureRecognizer& recognizer, pf::GestureRecognizer&)
{
    return &recognizer == m_tap.get();
}

void DDMenuController::tap(pf::GestureRecognizer&)
{
    m_tap->setEnabled(false);
    showRootController(true);
}

void DDMenuController::pan(pf::GestureRecognizer& recognizer)
{
    auto* panRecognizer = dynamic_cast<pf::PanGestureRecognizer*>(&recognizer);
    auto centre = rootView();
    if (!panRecognizer || !centre)
        return;
    pf::Point velocity = panRecognizer->velocityInView(view().get());
    switch (recognizer.state()) {
    case pf::GestureState::Began:
        showShadow(true);
        m_panOriginX = centre->frame().x();
        m_panVelocity = { 0, 0 };
        m_panDirection = velocity.x > 0 ? 1 : 0;
        break;
    case pf::GestureState::Changed: {
        if (velocity.x * m_panVelocity.x + velocity.y * m_panVelocity.y < 0)
            m_panDirection = m_panDirection == 1 ? 0 : 1;
        m_panVelocity = velocity;
        pf::Rect frame = centre->frame();
        frame.origin.x = m_panOriginX + panRecognizer->translationInView(view().get()).x;
        if (frame.x() > 0 && !m_showingLeftView) {
            if (m_showingRightView)
                coverRightView();
            if (canShowLeft())
                uncoverLeftView();
            else
                frame.origin.x = 0;
        } else if (frame.x() < 0 && !m_showingRightView) {
            if (m_showingLeftView)
                coverLeftView();
            if (canShowRight())
                uncoverRightView();
            else
                frame.origin.x = 0;
        }
        centre->setFrame(frame);
        break;
    }
    case pf::GestureState::Ended:
    case pf::GestureState::Cancelled:
        release(velocity);
        break;
    default:
        break;
    }
}

double DDMenuController::releaseDuration(double x, double span, double speed)
{
    if (!(span > 0))
        return 0;
    double d = speed > kFlingSpeed ? span / speed + kSlideDuration : (span - x) / span * kSlideDuration;
    // Dragged to or past the span, a slow release has nothing left to travel.
    return d > 0 ? d : 0;
}

void DDMenuController::release(pf::Point velocity)
{
    auto centre = rootView();
    view()->setUserInteractionEnabled(false);

    Side side = Side::Centre;
    if (m_panDirection == 1 && m_showingLeftView)
        side = Side::Left;
    else if (m_panDirection == 0 && m_showingRightView)
        side = Side::Right;

    double speed = std::fabs(velocity.x);
    bool fling = speed > kFlingSpeed;
    double x = centre->frame().x();
    double w = centre->frame().width();
    double containerWidth = view()->bounds().width();
    double span = w - (containerWidth - kMenuWidth);
    double duration = releaseDuration(x, span, speed);

    std::weak_ptr<DDMenuController> weak = self();
    pf::Transaction::begin();
    pf::Transaction::setCompletionBlock([weak, side] {
        if (auto strong = weak.lock())
            strong->settle(side);
    });

    pf::Point p = centre->layer().position();
    auto animation = std::make_shared<pf::KeyframeAnimation>("position");
    animation->values.push_back(p);
    animation->keyTimes.push_back(0);
    animation->timingFunctions.push_back(pf::TimingFunction::EaseIn);
    if (fling && duration > 0) {
        double overshoot = 0;
        switch (side) {
        case Side::Left: overshoot = w / 2 + span + kOvershoot; break;
        case Side::Right: overshoot = -(w / 2 - (containerWidth - kMenuWidth - kOvershoot)); break;
        case Side::Centre: overshoot = m_panDirection == 0 ? w / 2 - kOvershoot : w / 2 + kOvershoot; break;
        }
        animation->values.push_back({ overshoot, p.y });
        animation->keyTimes.push_back(1 - kSlideDuration / duration);
        animation->timingFunctions.push_back(pf::TimingFunction::EaseOut);
    }
    double finalX = w / 2;
    if (side == Side::Left)
        finalX = w / 2 + span;
    else if (side == Side::Right)
        finalX = -(w / 2 - (containerWidth - kMenuWidth));
    animation->values.push_back({ finalX, p.y });
    animation->keyTimes.push_back(1);
    animation->timingFunctions.push_back(pf::TimingFunction::EaseOut);
    animation->duration = duration;
    animation->removedOnCompletion = false;
    animation->fillForwards = true;
    centre->layer().addAnimation(animation);
    m_releaseAnimation = animation;
    pf::Transaction::commit();
}

void DDMenuController::settle(Side side)
{
    switch (side) {
    case Side::Left: showLeftController(false); break;
    case Side::Right: showRightController(false); break;
    case Side::Centre: showRootController(false); break;
    }
    if (auto centre = rootView())
        centre->layer().removeAllAnimations();
    view()->setUserInteractionEnabled(true);
}
