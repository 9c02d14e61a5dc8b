#pragma once

#include "core/views/AdaptedViewController.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/GestureRecognizer.h"

#include <memory>
#include <string>

class DDMenuControllerDelegate;

namespace pf {
class BarButtonItem;
class ImageView;
class KeyframeAnimation;
class PanGestureRecognizer;
class TapGestureRecognizer;
class View;
}

// The app's frame: one centre controller whose view fills the container, slid sideways to
// uncover a side controller lying under it (the left side to the right, the right side to the
// left). The centre's first screen carries the menu button; a horizontal drag of the centre
// view (or of the open menu, whose recogniser targets `pan`) moves it with the finger, and a
// tap on the strip of the centre that stays visible closes the open side.
//
// Rules:
// - A side view is 320 points wide and lies under the centre view (index 0 of the container's
//   view) from the moment a drag or an opening uncovers it until the centre is back at x 0.
// - A drag begins only when its horizontal velocity is below kPanAdmissionSpeed (a signed test:
//   any leftward speed passes) and it moves more sideways than up or down.
// - On release the centre settles on the side the finger last moved towards when that side is
//   uncovered, else on the centre, through a keyframe animation of its layer's position; a
//   release faster than kFlingSpeed overshoots by kOvershoot first. The container ignores
//   touches until that animation's completion has put the frames in place, and the completion
//   always runs, even when the computed duration is zero or negative.
// - `isShowSideView` makes the menu button toggle; it is set by opening a side (also at the end
//   of a drag) and cleared when the centre is back.
// - The menu buttons go on the centre's first screen; a side taken away takes only the
//   container's own button with it, never one the screen set itself.
// - The container owns its three controllers; the delegate is not owned. The centre controller
//   is a child of the container, so it receives the container's appearance callbacks; a side
//   controller is sent viewWillAppear by hand when it is opened.
class DDMenuController : public AdaptedViewController, public pf::GestureRecognizerDelegate {
public:
    static constexpr double kMenuWidth = 200;
    static constexpr double kSideViewWidth = 320;
    static constexpr double kLeftOpenOffset = 120;
    static constexpr double kSlideDuration = 0.3;
    static constexpr double kPushSlideDuration = 0.25;
    static constexpr double kPanAdmissionSpeed = 600;
    static constexpr double kFlingSpeed = 800;
    static constexpr double kOvershoot = 10;
    static constexpr double kShadowOpacity = 0.8;
    static constexpr const char* kMenuImage = "menu.png";
    static constexpr const char* kRightMenuImage = "nav_menu_icon.png";

    DDMenuController();
    explicit DDMenuController(std::shared_ptr<pf::ViewController> rootViewController);
    ~DDMenuController() override;

    void viewDidLoad() override;

    // --- the controllers ---
    std::shared_ptr<pf::ViewController> rootViewController() const { return m_root; }
    void setRootViewController(std::shared_ptr<pf::ViewController> controller);
    std::shared_ptr<pf::ViewController> leftViewController() const { return m_left; }
    void setLeftViewController(std::shared_ptr<pf::ViewController> controller);
    std::shared_ptr<pf::ViewController> rightViewController() const { return m_right; }
    void setRightViewController(std::shared_ptr<pf::ViewController> controller);
    std::shared_ptr<DDMenuControllerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<DDMenuControllerDelegate> delegate) { m_delegate = std::move(delegate); }

    // --- showing ---
    void showRootController(bool animated);
    void showLeftController(bool animated);
    void showRightController(bool animated);
    // The menu buttons: close the open side, else open theirs.
    void showLeft();
    void showRight();
    // Replaces the centre, sliding the old one out first when the left side is open.
    void setRootController(std::shared_ptr<pf::ViewController> controller, bool animated);
    // Pushes onto the centre's navigation controller. With the right side open, a still
    // picture of the container covers it while the pushed screen goes in at once and the centre
    // comes back from off its right edge over kPushSlideDuration; then the side closes
    // (showRootController without animation) and the picture goes.
    void pushViewController(std::shared_ptr<pf::ViewController> controller, bool animated);
    // The still picture while such a push slides in; none otherwise.
    std::shared_ptr<pf::ImageView> stillPictureView() const;

    // --- gestures ---
    void pan(pf::GestureRecognizer& recognizer);
    void tap(pf::GestureRecognizer& recognizer);
    bool gestureRecognizerShouldBegin(pf::GestureRecognizer& recognizer) override;
    bool gestureRecognizerShouldRecognizeSimultaneously(pf::GestureRecognizer& recognizer, pf::GestureRecognizer& other) override;
    std::shared_ptr<pf::TapGestureRecognizer> tapRecognizer() const { return m_tap; }
    std::shared_ptr<pf::PanGestureRecognizer> panRecognizer() const { return m_pan; }

    void resetNavButtons();
    void showShadow(bool on);

    // --- state ---
    bool isShowSideView() const { return m_isShowSideView; }
    bool isShowingLeftView() const { return m_showingLeftView; }
    bool isShowingRightView() const { return m_showingRightView; }
    bool canShowLeft() const { return m_left != nullptr; }
    bool canShowRight() const { return m_right != nullptr; }
    int panDirection() const { return m_panDirection; }
    // The keyframe animation of the latest release while it is on the centre's layer.
    std::shared_ptr<pf::KeyframeAnimation> releaseAnimation() const { return m_releaseAnimation.lock(); }

    // The duration of a release from `x` of a centre `span` points wide at `speed` points per
    // second; a fling's lasts kSlideDuration longer for its overshoot. Never negative.
    static double releaseDuration(double x, double span, double speed);

private:
    enum class Side { Left, Right, Centre };

    std::shared_ptr<DDMenuController> self();
    std::shared_ptr<pf::View> rootView() const;
    void assignLeftBarButton(const std::shared_ptr<pf::ViewController>& controller, const std::string& imageName,
        pf::Rect frame, const std::string& action);
    void uncoverLeftView();
    void uncoverRightView();
    void coverLeftView();
    void coverRightView();
    void slide(double x, bool animated, std::function<void()> completion);
    void release(pf::Point velocity);
    void settle(Side side);

    std::shared_ptr<pf::TapGestureRecognizer> m_tap;
    std::shared_ptr<pf::PanGestureRecognizer> m_pan;
    double m_panOriginX { 0 };
    pf::Point m_panVelocity;
    int m_panDirection { 0 };
    bool m_showingLeftView { false };
    bool m_showingRightView { false };
    bool m_isShowSideView { false };
    std::weak_ptr<DDMenuControllerDelegate> m_delegate;
    std::shared_ptr<pf::ViewController> m_left;
    std::shared_ptr<pf::ViewController> m_right;
    std::shared_ptr<pf::ViewController> m_root;
    std::weak_ptr<pf::KeyframeAnimation> m_releaseAnimation;
    std::weak_ptr<pf::ImageView> m_stillPictureView;
    std::weak_ptr<pf::BarButtonItem> m_leftButtonItem;
    std::weak_ptr<pf::BarButtonItem> m_rightButtonItem;
};
