#pragma once

#include "platform/graphics/Geometry.h"
#include "platform/ui/Responder.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pf {

class NavigationController;
class NavigationItem;
class View;

// Which edges of the screen a controller's view extends under (bars), combined with |.
struct RectEdge {
    static constexpr unsigned None = 0;
    static constexpr unsigned Top = 1;
    static constexpr unsigned Left = 2;
    static constexpr unsigned Bottom = 4;
    static constexpr unsigned Right = 8;
    static constexpr unsigned All = 15;
};

// Owns one screen's view and answers for it.
//
// Rules:
// - The view is made on the first call of `view()`: `loadView` (from the layout registered under
//   `nibName()` when one is named, else a plain view the size of the screen that follows its
//   superview's width and height), then `viewDidLoad`. An unknown layout name fails with
//   NibError.
// - Appearance callbacks (will/did appear, will/did disappear) come only from the platform's
//   containers: the window for its root controller, navigation controllers, modal presentation
//   and popovers, and children of a controller whose views lie inside its view. A view added to
//   another view by hand gets none: its owner sends them itself if it wants them.
// - `navigationController()` is the nearest navigation controller among the parents (held
//   weakly), empty once the controller has been popped.
// - The controller's next responder is its view's superview, else the controller that presented
//   it, else its parent.
class ViewController : public Responder {
public:
    ViewController();
    explicit ViewController(std::string nibName);
    ~ViewController() override;

    std::shared_ptr<ViewController> sharedController() { return std::static_pointer_cast<ViewController>(shared_from_this()); }

    // --- the view ---
    std::shared_ptr<View> view();
    std::shared_ptr<View> viewIfLoaded() const { return m_view; }
    bool isViewLoaded() const { return m_view != nullptr; }
    void setView(const std::shared_ptr<View>& view);
    const std::string& nibName() const { return m_nibName; }

    virtual void loadView();
    virtual void viewDidLoad() { }
    virtual void viewWillAppear(bool animated) { }
    virtual void viewDidAppear(bool animated) { }
    virtual void viewWillDisappear(bool animated) { }
    virtual void viewDidDisappear(bool animated) { }
    virtual void didReceiveMemoryWarning() { }

    // --- appearance, driven by containers ---
    enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };
    Appearance appearance() const { return m_appearance; }
    // Sends viewWillAppear / viewWillDisappear (once per change of state) and forwards to the
    // children whose views lie in this view.
    virtual void beginAppearanceTransition(bool appearing, bool animated);
    // Sends the matching did-callback.
    virtual void endAppearanceTransition();

    // --- title and navigation ---
    const std::string& title() const { return m_title; }
    void setTitle(const std::string& title);
    NavigationItem& navigationItem();
    std::shared_ptr<NavigationItem> navigationItemPtr();
    std::shared_ptr<NavigationController> navigationController() const;
    unsigned edgesForExtendedLayout() const { return m_edges; }
    void setEdgesForExtendedLayout(unsigned edges) { m_edges = edges; }
    Size preferredContentSize() const { return m_preferredContentSize; }
    void setPreferredContentSize(Size size) { m_preferredContentSize = size; }

    // --- children ---
    std::shared_ptr<ViewController> parentViewController() const { return m_parent.lock(); }
    const std::vector<std::shared_ptr<ViewController>>& childViewControllers() const { return m_children; }
    void addChildViewController(const std::shared_ptr<ViewController>& child);
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(const std::shared_ptr<ViewController>& parent) { }
    virtual void didMoveToParentViewController(const std::shared_ptr<ViewController>& parent) { }

    // --- modal presentation ---
    // Covers the window of this controller's view with the presented controller's view. Fails
    // (logged, no completion) when this controller's view is not in a shown window or it
    // already presents one.
    void presentViewController(const std::shared_ptr<ViewController>& controller, bool animated,
        std::function<void()> completion = {});
    // Sent to the presenting or the presented controller: takes the presented one away.
    void dismissViewController(bool animated, std::function<void()> completion = {});
    std::shared_ptr<ViewController> presentedViewController() const { return m_presented; }
    std::shared_ptr<ViewController> presentingViewController() const { return m_presenting.lock(); }

    std::shared_ptr<Responder> nextResponder() const override;

    // Seconds a modal presentation or dismissal takes when animated.
    static constexpr double TransitionDuration = 0.3;

protected:
    // The view a controller makes when no layout gives one: the screen's size, following its
    // superview's width and height.
    static std::shared_ptr<View> makeScreenSizedView();
    // For containers: set or clear the parent link without the will/did-move hooks.
    void setParent(const std::shared_ptr<ViewController>& parent) { m_parent = parent; }
    friend class NavigationController;

private:
    std::string m_nibName;
    std::string m_title;
    std::shared_ptr<View> m_view;
    std::shared_ptr<NavigationItem> m_navigationItem;
    std::weak_ptr<ViewController> m_parent;
    std::vector<std::shared_ptr<ViewController>> m_children;
    std::shared_ptr<ViewController> m_presented;
    std::weak_ptr<ViewController> m_presenting;
    Appearance m_appearance { Appearance::Disappeared };
    bool m_appearing { false }; // direction of the open transition
    bool m_animatedTransition { false };
    bool m_loading { false };
    unsigned m_edges { RectEdge::All };
    Size m_preferredContentSize;
};

}
