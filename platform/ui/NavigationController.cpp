#include "platform/ui/NavigationController.h"

#include "platform/foundation/Device.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Interaction.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"

#include <algorithm>

namespace pf {

struct NavigationController::Transition {
    std::shared_ptr<ViewController> from;
    std::shared_ptr<ViewController> to;
    std::vector<std::shared_ptr<ViewController>> removed; // popped: their parent link goes at the end
    bool callbacks { false };
    bool ignoring { false };
    RunLoop::TaskId timer { 0 };
};

NavigationController::NavigationController()
    : m_bar(std::make_shared<NavigationBar>())
{
}

NavigationController::NavigationController(const std::shared_ptr<ViewController>& root)
    : NavigationController()
{
    // The root's parent link needs a shared pointer to this controller: it is made when the
    // view loads or the stack first changes.
    if (root)
        m_children.push_back(root);
}

NavigationController::~NavigationController()
{
    if (m_transition && m_transition->ignoring)
        Interaction::endIgnoringEvents();
}

std::shared_ptr<ViewController> NavigationController::topViewController() const
{
    return m_children.empty() ? nullptr : m_children.back();
}

std::shared_ptr<ViewController> NavigationController::visibleViewController() const
{
    auto top = topViewController();
    if (top && top->presentedViewController())
        return top->presentedViewController();
    return top;
}

std::shared_ptr<NavigationBar> NavigationController::navigationBar()
{
    return m_bar;
}

void NavigationController::loadView()
{
    auto view = makeScreenSizedView();
    setView(view);
    m_container = std::make_shared<View>(view->bounds());
    m_container->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    m_container->setDumpRole(View::DumpRole::Transparent);
    view->addSubview(m_container);
    m_bar->setFrame({ 0, Screen::main().statusBarHeight(), view->bounds().width(), NavigationBar::Height });
    m_bar->setHidden(m_barHidden);
    view->addSubview(m_bar);

    // Controllers given before the view existed get their parent link and the top one's view
    // now (here rather than in viewDidLoad, which subclasses override).
    linkChildren();
    if (auto top = topViewController()) {
        layoutContent(top);
        m_container->addSubview(top->view());
    }
    updateBar();
}


void NavigationController::linkChildren()
{
    auto self = std::static_pointer_cast<NavigationController>(sharedController());
    for (auto& c : m_children)
        if (c->parentViewController().get() != this)
            c->setParent(self);
}

bool NavigationController::isOnScreen() const
{
    return appearance() == Appearance::Appeared || appearance() == Appearance::Appearing;
}

void NavigationController::layoutContent(const std::shared_ptr<ViewController>& controller)
{
    if (!controller || !isViewLoaded())
        return;
    auto v = controller->view();
    Rect b = view()->bounds();
    double top = 0;
    if (Device::current().systemVersionFloat() < 7.0) {
        // Systems before 7 have no extended layout: whatever the controller's edges say, its
        // content starts below the status bar and below the navigation bar when it shows.
        top = Screen::main().statusBarHeight() + (m_barHidden ? 0 : NavigationBar::Height);
    } else if (!m_barHidden && !(controller->edgesForExtendedLayout() & RectEdge::Top)) {
        top = Screen::main().statusBarHeight() + NavigationBar::Height;
    }
    v->setFrame({ 0, top, b.width(), std::max(0.0, b.height() - top) });
    v->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
}

void NavigationController::updateBar()
{
    auto top = topViewController();
    if (!top) {
        m_bar->showItem(nullptr, std::nullopt, nullptr);
        return;
    }
    std::optional<std::string> backTitle;
    if (m_children.size() > 1)
        backTitle = m_children[m_children.size() - 2]->title();
    std::weak_ptr<ViewController> weak = sharedController();
    m_bar->showItem(top->navigationItemPtr(), backTitle, [weak] {
        if (auto nav = std::static_pointer_cast<NavigationController>(weak.lock()))
            nav->popViewController(true);
    });
}

void NavigationController::pushViewController(const std::shared_ptr<ViewController>& controller, bool animated)
{
    linkChildren();
    if (!controller || controller.get() == this)
        return;
    if (std::find(m_children.begin(), m_children.end(), controller) != m_children.end()) {
        Log::line("Pushing a controller that is already in the navigation stack is ignored");
        return;
    }
    if (m_transition)
        finishTransition();
    auto self = std::static_pointer_cast<NavigationController>(sharedController());
    controller->removeFromParentViewController();
    auto from = topViewController();
    m_children.push_back(controller);
    controller->setParent(self);
    transition(from, controller, {}, animated);
}

std::shared_ptr<ViewController> NavigationController::popViewController(bool animated)
{
    if (m_children.size() < 2)
        return nullptr;
    auto popped = popToViewController(m_children[m_children.size() - 2], animated);
    return popped.empty() ? nullptr : popped.back();
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToViewController(const std::shared_ptr<ViewController>& controller, bool animated)
{
    linkChildren();
    auto it = std::find(m_children.begin(), m_children.end(), controller);
    if (it == m_children.end() || it + 1 == m_children.end())
        return {};
    if (m_transition)
        finishTransition();
    it = std::find(m_children.begin(), m_children.end(), controller);
    std::vector<std::shared_ptr<ViewController>> removed(it + 1, m_children.end());
    auto from = m_children.back();
    m_children.erase(it + 1, m_children.end());
    transition(from, controller, removed, animated);
    return removed;
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToRootViewController(bool animated)
{
    if (m_children.empty())
        return {};
    return popToViewController(m_children.front(), animated);
}

void NavigationController::setViewControllers(const std::vector<std::shared_ptr<ViewController>>& controllers, bool animated)
{
    if (m_transition)
        finishTransition();
    auto self = std::static_pointer_cast<NavigationController>(sharedController());
    auto from = topViewController();
    std::vector<std::shared_ptr<ViewController>> removed;
    for (auto& c : m_children)
        if (std::find(controllers.begin(), controllers.end(), c) == controllers.end())
            removed.push_back(c);
    m_children.clear();
    for (auto& c : controllers) {
        if (!c || std::find(m_children.begin(), m_children.end(), c) != m_children.end())
            continue;
        if (c->parentViewController().get() != this)
            c->removeFromParentViewController();
        m_children.push_back(c);
        c->setParent(self);
    }
    auto to = topViewController();
    if (to == from) {
        for (auto& c : removed)
            if (c->parentViewController().get() == this)
                c->setParent(nullptr);
        updateBar();
        return;
    }
    transition(from, to, removed, animated);
}

void NavigationController::transition(const std::shared_ptr<ViewController>& from, const std::shared_ptr<ViewController>& to,
    std::vector<std::shared_ptr<ViewController>> removed, bool animated)
{
    auto keep = sharedController();
    if (!isViewLoaded()) {
        // Nothing shows yet: the stack is all there is to change.
        for (auto& c : removed)
            if (c->parentViewController().get() == this)
                c->setParent(nullptr);
        return;
    }
    animated = animated && Animation::areAnimationsEnabled();
    auto t = std::make_shared<Transition>();
    t->from = from;
    t->to = to;
    t->removed = std::move(removed);
    t->callbacks = isOnScreen();
    m_transition = t;

    if (t->callbacks && from)
        from->beginAppearanceTransition(false, animated);
    if (to) {
        auto toView = to->view(); // loads it: viewDidLoad runs before viewWillAppear
        layoutContent(to);
        if (t->callbacks)
            to->beginAppearanceTransition(true, animated);
        if (from && from->isViewLoaded() && from->viewIfLoaded()->superview() == m_container)
            m_container->insertSubviewAbove(toView, from->viewIfLoaded());
        else
            m_container->addSubview(toView);
    }
    updateBar();

    if (!animated) {
        finishTransition();
        return;
    }
    t->ignoring = true;
    Interaction::beginIgnoringEvents();
    std::weak_ptr<ViewController> weak = sharedController();
    std::weak_ptr<Transition> weakT = t;
    t->timer = RunLoop::main().postDelayed(TransitionDuration, [weak, weakT] {
        auto nav = std::static_pointer_cast<NavigationController>(weak.lock());
        auto tr = weakT.lock();
        if (nav && tr && nav->m_transition == tr) {
            tr->timer = 0;
            nav->finishTransition();
        }
    });
}

void NavigationController::finishTransition()
{
    auto t = m_transition;
    if (!t)
        return;
    m_transition = nullptr;
    auto keep = sharedController();
    if (t->timer)
        RunLoop::main().cancel(t->timer);
    if (t->ignoring)
        Interaction::endIgnoringEvents();
    if (t->from && t->from != t->to && t->from->isViewLoaded() && t->from->viewIfLoaded()->superview() == m_container)
        t->from->viewIfLoaded()->removeFromSuperview();
    // Controllers popped on the way that were not shown lose their views too.
    for (auto& c : t->removed)
        if (c->isViewLoaded() && c->viewIfLoaded()->superview() == m_container)
            c->viewIfLoaded()->removeFromSuperview();
    for (auto& c : t->removed)
        if (c->parentViewController().get() == this)
            c->setParent(nullptr);
    if (t->callbacks) {
        if (t->from)
            t->from->endAppearanceTransition();
        if (t->to)
            t->to->endAppearanceTransition();
    }
}

void NavigationController::setNavigationBarHidden(bool hidden, bool animated)
{
    m_barHidden = hidden;
    m_bar->setHidden(hidden);
    if (auto top = topViewController())
        layoutContent(top);
}

}
