#include "core/views/StatusBarNotification.h"

#include "core/views/ViewAddition.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Label.h"
#include "platform/ui/Nib.h"
#include "platform/ui/NibLoader.h"
#include "platform/ui/Window.h"

namespace {

// Callbacks of an earlier banner run (before a reset) must not touch the new state.
unsigned g_generation = 0;

}

std::shared_ptr<StatusBarNotification> StatusBarNotification::shared()
{
    // Never destroyed: its window must outlive every banner callback, up to the process's end.
    static auto* instance = new std::shared_ptr<StatusBarNotification>(std::make_shared<StatusBarNotification>());
    return *instance;
}

void StatusBarNotification::notificationWithMessage(const std::string& message)
{
    shared()->addNotificationViewWithMessage(message);
}

void StatusBarNotification::notificationWithView(const std::shared_ptr<pf::View>& view)
{
    shared()->addNotificationViewWithView(view);
}

void StatusBarNotification::registerNib()
{
    if (pf::Nib::exists(kNibName))
        return;
    pf::Nib::registerNib(kNibName, [](pf::NibLoader& loader) {
        auto banner = std::make_shared<StatusBarNotification>();
        banner->setFrame({ 0, 0, kWidth, kBannerHeight });
        banner->setBackgroundColor(pf::Color::white());
        loader.addTopLevel(banner);
        // The app writes only the message line; the first label is kept for banners that want
        // a caption, hidden until someone gives it one.
        auto label1 = std::make_shared<pf::Label>(pf::Rect { 8, 0, 0, kBannerHeight });
        label1->setHidden(true);
        banner->addSubview(loader.outlet("label1", label1, banner));
        auto label2 = std::make_shared<pf::Label>(pf::Rect { 12, 0, kWidth - 24, kBannerHeight });
        label2->setFont(pf::Font::system(12));
        banner->addSubview(loader.outlet("label2", label2, banner));
    });
}

void StatusBarNotification::reset()
{
    auto self = shared();
    ++g_generation;
    pf::RunLoop::main().cancelAll(self.get());
    for (const auto& view : self->m_messageQueue)
        view->removeFromSuperview();
    self->m_messageQueue.clear();
    self->m_showingNotification = false;
    if (self->m_notificationView)
        self->m_notificationView->setHidden(true);
    self->m_notificationView.reset();
}

void StatusBarNotification::setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view)
{
    if (name == "label1")
        m_label1 = std::dynamic_pointer_cast<pf::Label>(view);
    else if (name == "label2")
        m_label2 = std::dynamic_pointer_cast<pf::Label>(view);
}

void StatusBarNotification::addNotificationViewWithMessage(const std::string& message)
{
    registerNib();
    std::shared_ptr<StatusBarNotification> banner;
    try {
        banner = ViewAddition::loadFromNIB<StatusBarNotification>();
    } catch (const std::exception& e) {
        pf::Log::format("StatusBarNotification: no banner layout: %s", e.what());
        return;
    }
    banner->layer().setBorderWidth(0.4);
    banner->layer().setBorderColor(pf::Color::lightGray());
    banner->layer().setCornerRadius(8);
    if (auto label = banner->label2()) {
        label->setText(message);
        label->setTextColor(pf::Color::rgb(84 / 255.0, 85 / 255.0, 87 / 255.0));
    }
    addNotificationViewWithView(banner);
}

void StatusBarNotification::addNotificationViewWithView(const std::shared_ptr<pf::View>& view)
{
    if (!view)
        return;
    m_messageQueue.push_back(view);
    if (!m_showingNotification)
        showNotificationView(view);
}

void StatusBarNotification::ensureWindow()
{
    if (!m_notificationView) {
        m_notificationView = std::make_shared<pf::Window>(pf::Rect {});
        m_notificationView->setWindowLevel(pf::WindowLevel::StatusBar + 1);
    }
    if (!m_notificationView->isShown())
        m_notificationView->setHidden(false);
}

void StatusBarNotification::showNotificationView(const std::shared_ptr<pf::View>& view)
{
    m_showingNotification = true;
    ensureWindow();
    const double h = view->frame().size.height;
    m_notificationView->setFrame({ 0, -h, kWidth, h });
    m_notificationView->addSubview(view);

    auto window = m_notificationView;
    std::weak_ptr<StatusBarNotification> weakSelf = std::static_pointer_cast<StatusBarNotification>(sharedView());
    const unsigned generation = g_generation;
    pf::Animation::animate(kSlideDuration, [window, h] {
        pf::Rect frame = window->frame();
        frame.origin.y += h;
        window->setFrame(frame);
    }, [weakSelf, generation](bool finished) {
        if (auto self = weakSelf.lock(); self && generation == g_generation)
            self->showNotificationAnimationComplete(finished);
    });
}

void StatusBarNotification::showNotificationAnimationComplete(bool)
{
    std::weak_ptr<StatusBarNotification> weakSelf = std::static_pointer_cast<StatusBarNotification>(sharedView());
    const unsigned generation = g_generation;
    pf::RunLoop::main().postDelayed(kShowDuration, [weakSelf, generation] {
        if (auto self = weakSelf.lock(); self && generation == g_generation)
            self->hideCurrentNotification();
    }, this);
}

void StatusBarNotification::hideCurrentNotification()
{
    auto window = m_notificationView;
    if (!window)
        return;
    std::weak_ptr<StatusBarNotification> weakSelf = std::static_pointer_cast<StatusBarNotification>(sharedView());
    const unsigned generation = g_generation;
    pf::Animation::animate(kSlideDuration, [window] {
        pf::Rect frame = window->frame();
        frame.origin.y -= frame.size.height;
        window->setFrame(frame);
    }, [weakSelf, generation](bool finished) {
        if (auto self = weakSelf.lock(); self && generation == g_generation)
            self->hideNotificationAnimationComplete(finished);
    });
}

void StatusBarNotification::hideNotificationAnimationComplete(bool)
{
    if (!m_messageQueue.empty()) {
        m_messageQueue.front()->removeFromSuperview();
        m_messageQueue.erase(m_messageQueue.begin());
    }
    m_showingNotification = false;
    if (!m_messageQueue.empty())
        showNotificationView(m_messageQueue.front());
    else if (m_notificationView)
        m_notificationView->setHidden(true); // idle: out of the way of the driver and the screen
}
