#include "platform/ui/ViewController.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Animation.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Nib.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

#include <algorithm>

namespace pf {

namespace {

    // Runs `finish` and then the caller's completion: at once, or when an animated modal
    // transition has taken its time.
    void endModalTransition(bool animate, std::function<void()> finish, std::function<void()> completion)
    {
        auto step = [finish = std::move(finish), completion = std::move(completion)] {
            finish();
            if (completion)
                completion();
        };
        if (animate)
            RunLoop::main().postDelayed(ViewController::TransitionDuration, std::move(step));
        else
            step();
    }

}

ViewController::ViewController() = default;

ViewController::ViewController(std::string nibName)
    : m_nibName(std::move(nibName))
{
}

ViewController::~ViewController()
{
    for (auto& child : m_children)
        child->m_parent.reset();
}

std::shared_ptr<View> ViewController::view()
{
    if (!m_view && !m_loading) {
        m_loading = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset { m_loading };
        loadView();
        if (!m_view)
            setView(makeScreenSizedView());
        viewDidLoad();
    }
    return m_view;
}

void ViewController::setView(const std::shared_ptr<View>& view)
{
    if (m_view == view)
        return;
    if (m_view && m_view->viewController().get() == this)
        m_view->setViewController(nullptr);
    m_view = view;
    if (m_view)
        m_view->setViewController(sharedController());
}

void ViewController::loadView()
{
    if (!m_nibName.empty()) {
        NibContents contents = Nib::instantiate(m_nibName, sharedController());
        std::shared_ptr<View> root = contents.ownerView;
        if (!root && !contents.topLevelObjects.empty())
            root = contents.topLevelObjects.front();
        if (!root)
            throw NibError("NibHasNoView", "Layout '" + m_nibName + "' gives no view for its owner");
        setView(root);
        return;
    }
    setView(makeScreenSizedView());
}

std::shared_ptr<View> ViewController::makeScreenSizedView()
{
    // Made before anyone knows where it goes (a popover, a side panel), so it takes the size
    // its container gives it later.
    auto view = std::make_shared<View>(Screen::main().bounds());
    view->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    return view;
}

// --- appearance ---

void ViewController::beginAppearanceTransition(bool appearing, bool animated)
{
    Appearance target = appearing ? Appearance::Appearing : Appearance::Disappearing;
    if (m_appearance == target)
        return;
    if (appearing && m_appearance == Appearance::Appeared)
        return;
    if (!appearing && m_appearance == Appearance::Disappeared)
        return;
    m_appearance = target;
    m_appearing = appearing;
    m_animatedTransition = animated;
    auto self = sharedController();
    if (appearing) {
        view(); // appearing needs the view
        viewWillAppear(animated);
    } else {
        viewWillDisappear(animated);
    }
    for (auto& child : std::vector<std::shared_ptr<ViewController>>(m_children)) {
        if (child->isViewLoaded() && m_view && child->viewIfLoaded()->isDescendantOf(m_view.get()))
            child->beginAppearanceTransition(appearing, animated);
    }
}

void ViewController::endAppearanceTransition()
{
    if (m_appearance != Appearance::Appearing && m_appearance != Appearance::Disappearing)
        return;
    auto self = sharedController();
    bool appearing = m_appearance == Appearance::Appearing;
    m_appearance = appearing ? Appearance::Appeared : Appearance::Disappeared;
    if (appearing)
        viewDidAppear(m_animatedTransition);
    else
        viewDidDisappear(m_animatedTransition);
    for (auto& child : std::vector<std::shared_ptr<ViewController>>(m_children))
        child->endAppearanceTransition();
}

// --- title and navigation ---

void ViewController::setTitle(const std::string& title)
{
    m_title = title;
    navigationItem().setTitle(title);
}

NavigationItem& ViewController::navigationItem()
{
    return *navigationItemPtr();
}

std::shared_ptr<NavigationItem> ViewController::navigationItemPtr()
{
    if (!m_navigationItem) {
        m_navigationItem = std::make_shared<NavigationItem>();
        m_navigationItem->setTitle(m_title);
    }
    return m_navigationItem;
}

std::shared_ptr<NavigationController> ViewController::navigationController() const
{
    for (auto parent = parentViewController(); parent; parent = parent->parentViewController())
        if (auto nav = std::dynamic_pointer_cast<NavigationController>(parent))
            return nav;
    return nullptr;
}

// --- children ---

void ViewController::addChildViewController(const std::shared_ptr<ViewController>& child)
{
    if (!child || child.get() == this)
        return;
    if (child->parentViewController().get() == this)
        return;
    child->removeFromParentViewController();
    auto self = sharedController();
    child->willMoveToParentViewController(self);
    m_children.push_back(child);
    child->m_parent = self;
}

void ViewController::removeFromParentViewController()
{
    auto parent = parentViewController();
    if (!parent)
        return;
    auto self = sharedController();
    auto& list = parent->m_children;
    list.erase(std::remove(list.begin(), list.end(), self), list.end());
    m_parent.reset();
    didMoveToParentViewController(nullptr);
}

// --- modal presentation ---

void ViewController::presentViewController(const std::shared_ptr<ViewController>& controller, bool animated,
    std::function<void()> completion)
{
    if (!controller || controller.get() == this)
        return;
    auto window = m_view ? m_view->window() : nullptr;
    if (!window || !window->isShown()) {
        Log::line("Attempt to present a controller whose presenter's view is not in a shown window");
        return;
    }
    if (m_presented) {
        Log::line("Attempt to present a controller while another one is presented");
        return;
    }
    auto self = sharedController();
    m_presented = controller;
    controller->m_presenting = self;
    bool animate = animated && Animation::areAnimationsEnabled();

    auto presentedView = controller->view();
    presentedView->setFrame(window->bounds());
    presentedView->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    beginAppearanceTransition(false, animate);
    controller->beginAppearanceTransition(true, animate);
    window->addSubview(presentedView);

    std::weak_ptr<ViewController> weakSelf = self;
    auto finish = [weakSelf, controller] {
        if (auto presenter = weakSelf.lock()) {
            // The presenter's view is covered: it stays in the window, as on the platform.
            presenter->endAppearanceTransition();
        }
        controller->endAppearanceTransition();
    };
    endModalTransition(animate, std::move(finish), std::move(completion));
}

void ViewController::dismissViewController(bool animated, std::function<void()> completion)
{
    // Sent to the presented controller, it asks its presenter (unless it presents one itself).
    if (!m_presented) {
        if (auto presenter = presentingViewController()) {
            presenter->dismissViewController(animated, std::move(completion));
        }
        return;
    }
    auto self = sharedController();
    auto presented = m_presented;
    m_presented = nullptr;
    presented->m_presenting.reset();
    bool animate = animated && Animation::areAnimationsEnabled();
    presented->beginAppearanceTransition(false, animate);
    beginAppearanceTransition(true, animate);
    auto finish = [self, presented] {
        if (presented->isViewLoaded())
            presented->view()->removeFromSuperview();
        presented->endAppearanceTransition();
        self->endAppearanceTransition();
    };
    endModalTransition(animate, std::move(finish), std::move(completion));
}

std::shared_ptr<Responder> ViewController::nextResponder() const
{
    if (m_view)
        if (auto sup = m_view->superview())
            return sup;
    if (auto presenter = m_presenting.lock())
        return presenter;
    return m_parent.lock();
}

}
