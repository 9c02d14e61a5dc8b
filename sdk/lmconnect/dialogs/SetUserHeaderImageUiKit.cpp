#include "sdk/lmconnect/dialogs/SetUserHeaderImageUiKit.h"

#include "sdk/lmconnect/analytics/MRDataReport.h"
#include "sdk/lmconnect/dialogs/SetHeadImageViewController.h"
#include "sdk/lmconnect/openapi/MrApiTool.h"

#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace {

bool inside(const pf::Rect& r, double x, double y)
{
    return x >= r.x() && x < r.x() + r.width() && y >= r.y() && y < r.y() + r.height();
}

}

SetUserHeaderImageUiKit::~SetUserHeaderImageUiKit()
{
    if (m_timer)
        pf::RunLoop::main().cancel(*m_timer);
    if (m_window) {
        MoveOhterWindowIntoFrame();
        closeWindow();
    }
}

std::shared_ptr<SetHeadImageViewController> SetUserHeaderImageUiKit::screen() const
{
    if (m_window) {
        if (auto shown = std::dynamic_pointer_cast<SetHeadImageViewController>(m_window->rootViewController()))
            return shown;
    }
    return m_headImageViewController;
}

std::shared_ptr<SetHeadImageViewController> SetUserHeaderImageUiKit::makeScreen(std::weak_ptr<setHeadImageDelegate> delegate,
    const std::optional<std::string>& fileName, const std::optional<std::string>& userNick)
{
    auto screen = std::make_shared<SetHeadImageViewController>();
    screen->setEdgesForExtendedLayout(pf::RectEdge::All);
    screen->setFileName(fileName && !fileName->empty() ? *fileName : "lmPic");
    if (userNick)
        screen->setNick(userNick);
    screen->setDelegate(std::move(delegate));
    screen->setAppId(m_appId);
    return screen;
}

void SetUserHeaderImageUiKit::startHandOver(double delay, const std::shared_ptr<pf::Image>& image, const std::optional<std::string>& nick)
{
    if (m_timer)
        pf::RunLoop::main().cancel(*m_timer);
    std::weak_ptr<SetUserHeaderImageUiKit> weak = shared_from_this();
    m_timer = pf::RunLoop::main().postDelayed(delay, [weak, image, nick] {
        if (auto kit = weak.lock())
            kit->onTimerSetPic(image, nick);
    }, this);
}

bool SetUserHeaderImageUiKit::popSetHeadImageViewWnd(std::weak_ptr<setHeadImageDelegate> delegate, const std::shared_ptr<pf::Image>& image,
    const std::optional<std::string>& fileName, const std::optional<std::string>& userNick)
{
    if (!image || m_window)
        return false;
    m_keywindow = pf::Window::keyWindow();
    MoveOtherWindowOutOfFrame();
    m_window = std::make_shared<pf::Window>(pf::Screen::main().bounds());
    m_window->setWindowLevel(pf::WindowLevel::Normal);
    m_window->makeKeyAndVisible();
    auto screen = makeScreen(std::move(delegate), fileName, userNick);
    m_window->setRootViewController(nullptr);
    m_window->setRootViewController(screen);
    m_windowsArray.push_back(m_window);
    MRDataReport::reportData(0, std::string("10653"), m_appId, std::nullopt);
    startHandOver(0.01, image, userNick);
    return true;
}

std::shared_ptr<SetHeadImageViewController> SetUserHeaderImageUiKit::getHeadImageViewController(std::weak_ptr<setHeadImageDelegate> delegate,
    const std::shared_ptr<pf::Image>& image, const std::optional<std::string>& fileName, const std::optional<std::string>& userNick)
{
    // While the window is up its screen takes the hand-over and the reply; a host's would wait
    // for them in vain.
    if (!image || m_window)
        return nullptr;
    m_headImageViewController = makeScreen(std::move(delegate), fileName, userNick);
    MRDataReport::reportData(0, std::string("10653"), m_appId, std::nullopt);
    startHandOver(0.1, image, userNick);
    return m_headImageViewController;
}

void SetUserHeaderImageUiKit::onTimerSetPic(const std::shared_ptr<pf::Image>& image, const std::optional<std::string>& nick)
{
    auto target = screen();
    if (!target)
        return;
    m_timer.reset();
    if (nick)
        target->setNick(nick);
    if (image)
        target->setImage(image);
}

bool SetUserHeaderImageUiKit::setViewControllerData(const pf::Value& data)
{
    auto target = screen();
    return target && target->setViewControllerData(data);
}

bool SetUserHeaderImageUiKit::setViewControllerResponse(const std::shared_ptr<APIResponse>& response)
{
    auto target = screen();
    return response && target && target->setViewControllerResponse(response);
}

void SetUserHeaderImageUiKit::MoveOtherWindowOutOfFrame()
{
    pf::Rect bounds = pf::Screen::main().bounds();
    for (auto& other : pf::Window::windows()) {
        if (other->windowLevel() >= pf::WindowLevel::Alert)
            continue;
        pf::Rect f = other->frame();
        bool onScreen = inside(bounds, f.x(), f.y()) || inside(bounds, f.x() + f.width(), f.y()) || inside(bounds, f.x(), f.y() + f.height())
            || inside(bounds, f.x() + f.width(), f.y() + f.height());
        if (!onScreen)
            m_windowsArray.push_back(other);
    }
    MrApiTool::MoveAllWindowOutOfScreen(m_windowsArray, false);
}

void SetUserHeaderImageUiKit::MoveOhterWindowIntoFrame()
{
    MrApiTool::MoveAllWindowIntoScreen(m_windowsArray, false);
    m_windowsArray.clear();
}

void SetUserHeaderImageUiKit::doClose()
{
    if (m_window) {
        MoveOhterWindowIntoFrame();
        closeWindow();
    }
    m_headImageViewController.reset();
}

void SetUserHeaderImageUiKit::closeWindow()
{
    if (!m_window)
        return;
    if (auto shown = std::dynamic_pointer_cast<SetHeadImageViewController>(m_window->rootViewController()))
        MRDataReport::reportData(0, std::string(shown->nick() ? "10659" : "10661"), m_appId, std::nullopt);
    auto window = std::move(m_window);
    window->setRootViewController(nullptr);
    window->setHidden(true);
    if (m_keywindow && m_keywindow->isShown())
        m_keywindow->makeKeyWindow();
    m_keywindow.reset();
    if (m_timer)
        pf::RunLoop::main().cancel(*m_timer);
    m_timer.reset();
    m_windowsArray.clear();
}
