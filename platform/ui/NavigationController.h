#pragma once

#include "platform/ui/ViewController.h"

#include <memory>
#include <vector>

namespace pf {

class NavigationBar;
class View;

// A stack of controllers, the top one's view shown under a navigation bar.
//
// Rules:
// - Push and pop change the stack at once; the views and the appearance callbacks follow: the
//   leaving controller's viewWillDisappear, the coming one's viewWillAppear, then (after
//   `TransitionDuration` on the platform clock when animated, at once otherwise) the leaving
//   one's view is removed and viewDidDisappear / viewDidAppear follow. Callbacks are sent only
//   while the navigation controller itself is on screen.
// - Touches are ignored during an animated transition. A new push or pop during a transition
//   first completes the running one.
// - A popped controller's navigationController() becomes empty when its transition completes.
// - Pushing a controller already in the stack, or popping the root, does nothing.
// - The content view starts below the bar (status bar + 44 points) unless the top controller
//   extends under the top edge or the bar is hidden. Below system version 7 no controller
//   extends under the bars: the content starts below the status bar, and below the navigation
//   bar too unless it is hidden.
class NavigationController : public ViewController {
public:
    NavigationController();
    explicit NavigationController(const std::shared_ptr<ViewController>& root);
    ~NavigationController() override;

    static constexpr double TransitionDuration = 0.35;

    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return childViewControllers(); }
    std::shared_ptr<ViewController> topViewController() const;
    // The presented controller of the top one, else the top one.
    std::shared_ptr<ViewController> visibleViewController() const;

    void pushViewController(const std::shared_ptr<ViewController>& controller, bool animated);
    std::shared_ptr<ViewController> popViewController(bool animated);
    std::vector<std::shared_ptr<ViewController>> popToViewController(const std::shared_ptr<ViewController>& controller, bool animated);
    std::vector<std::shared_ptr<ViewController>> popToRootViewController(bool animated);
    // Replaces the whole stack (the last one shown).
    void setViewControllers(const std::vector<std::shared_ptr<ViewController>>& controllers, bool animated);

    std::shared_ptr<NavigationBar> navigationBar();
    bool isNavigationBarHidden() const { return m_barHidden; }
    void setNavigationBarHidden(bool hidden, bool animated = false);
    bool isInTransition() const { return m_transition != nullptr; }

    void loadView() override;

private:
    struct Transition;
    void transition(const std::shared_ptr<ViewController>& from, const std::shared_ptr<ViewController>& to,
        std::vector<std::shared_ptr<ViewController>> removed, bool animated);
    void finishTransition();
    void layoutContent(const std::shared_ptr<ViewController>& controller);
    void updateBar();
    void linkChildren();
    bool isOnScreen() const;

    std::shared_ptr<NavigationBar> m_bar;
    std::shared_ptr<View> m_container;
    bool m_barHidden { false };
    std::shared_ptr<Transition> m_transition;
};

}
