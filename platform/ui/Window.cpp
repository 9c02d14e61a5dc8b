#include "platform/ui/Window.h"

#include "platform/foundation/RunLoop.h"
#include "platform/ui/DumpAttributes.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"

#include <algorithm>

namespace pf {

namespace {
    struct Registry {
        std::vector<std::shared_ptr<Window>> shown; // in the order they were shown
        std::weak_ptr<Window> key;
    };
    Registry& registry()
    {
        static Registry r;
        return r;
    }
}

Window::Window()
    : Window(Screen::main().bounds())
{
}

Window::Window(const Rect& frame)
    : View(frame)
{
    View::setHidden(true);
}

Window::~Window() = default;

void Window::setWindowLevel(double level)
{
    m_level = level;
}

void Window::makeKeyAndVisible()
{
    setHidden(false);
    makeKeyWindow();
}

void Window::makeKeyWindow()
{
    registry().key = std::static_pointer_cast<Window>(sharedView());
}

bool Window::isKeyWindow() const
{
    return registry().key.lock().get() == this;
}

void Window::setHidden(bool hidden)
{
    View::setHidden(hidden);
    if (hidden)
        unshow();
    else
        show();
}

void Window::show()
{
    if (m_shown)
        return;
    auto self = std::static_pointer_cast<Window>(sharedView());
    registry().shown.push_back(self);
    m_shown = true;
    if (m_root) {
        m_root->beginAppearanceTransition(true, false);
        m_root->endAppearanceTransition();
    }
    layoutIfNeeded();
}

void Window::unshow()
{
    if (!m_shown)
        return;
    auto self = std::static_pointer_cast<Window>(sharedView()); // the registry may hold the last reference
    m_shown = false;
    auto& shown = registry().shown;
    shown.erase(std::remove(shown.begin(), shown.end(), self), shown.end());
    if (isKeyWindow()) {
        registry().key.reset();
        for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
            if ((*it)->windowLevel() == WindowLevel::Normal) {
                registry().key = *it;
                break;
            }
        }
    }
    if (m_root) {
        m_root->beginAppearanceTransition(false, false);
        m_root->endAppearanceTransition();
    }
}

void Window::setRootViewController(const std::shared_ptr<ViewController>& controller)
{
    if (controller == m_root)
        return;
    auto old = m_root;
    if (old) {
        if (m_shown)
            old->beginAppearanceTransition(false, false);
        if (old->isViewLoaded())
            old->view()->removeFromSuperview();
        if (m_shown)
            old->endAppearanceTransition();
    }
    m_root = controller;
    if (controller) {
        auto view = controller->view();
        view->setFrame(bounds());
        view->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        if (m_shown)
            controller->beginAppearanceTransition(true, false);
        insertSubview(view, 0);
        if (m_shown)
            controller->endAppearanceTransition();
    }
}

std::shared_ptr<Responder> Window::nextResponder() const
{
    return Responder::applicationResponder();
}

void Window::dumpAttributes(DumpAttributes& attributes) const
{
    View::dumpAttributes(attributes);
    if (m_level != WindowLevel::Normal)
        attributes.value("level", DumpAttributes::number(m_level));
    if (isKeyWindow())
        attributes.flag("key");
}

void Window::scheduleLayoutPass()
{
    if (m_layoutPosted)
        return;
    m_layoutPosted = true;
    std::weak_ptr<Window> weak = std::static_pointer_cast<Window>(sharedView());
    RunLoop::main().post([weak] {
        if (auto w = weak.lock()) {
            w->m_layoutPosted = false;
            w->layoutIfNeeded();
        }
    });
}

std::shared_ptr<Window> Window::keyWindow()
{
    return registry().key.lock();
}

std::vector<std::shared_ptr<Window>> Window::windows()
{
    auto list = registry().shown;
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a->windowLevel() < b->windowLevel(); });
    return list;
}

std::shared_ptr<View> Window::hitTestScreen(Point screenPoint, std::shared_ptr<Window>* hitWindow)
{
    auto list = windows();
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        const auto& w = *it;
        Point local { screenPoint.x - w->frame().x(), screenPoint.y - w->frame().y() };
        if (auto hit = w->hitTest(local)) {
            if (hitWindow)
                *hitWindow = w;
            return hit;
        }
    }
    if (hitWindow)
        hitWindow->reset();
    return nullptr;
}

void Window::resetAll()
{
    auto list = registry().shown;
    registry().shown.clear();
    registry().key.reset();
    for (auto& w : list) {
        w->m_shown = false;
        w->View::setHidden(true);
    }
}

}
