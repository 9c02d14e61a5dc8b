#include "platform/foundation/Application.h"

#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Url.h"

namespace pf {

Application& Application::shared()
{
    static Application* application = new Application();
    return *application;
}

std::string Application::bundleIdentifier() const
{
    return Bundle::main()->bundleIdentifier();
}

void Application::post(const char* name)
{
    NotificationCenter::defaultCenter().post(name);
}

bool Application::finishLaunching(const Dictionary& options)
{
    if (m_state != State::NotRunning)
        return false;
    m_state = State::Inactive;
    // Held for the call: the delegate may replace itself while it runs.
    auto delegate = m_delegate;
    bool ok = delegate ? delegate->didFinishLaunching(*this, options) : true;
    post(kDidFinishLaunchingNotification);
    m_state = State::Active;
    if (delegate)
        delegate->didBecomeActive(*this);
    post(kDidBecomeActiveNotification);
    return ok;
}

void Application::enterBackground()
{
    if (m_state != State::Active && m_state != State::Inactive)
        return;
    auto delegate = m_delegate;
    if (m_state == State::Active) {
        m_state = State::Inactive;
        if (delegate)
            delegate->willResignActive(*this);
        post(kWillResignActiveNotification);
    }
    m_state = State::Background;
    if (delegate)
        delegate->didEnterBackground(*this);
    post(kDidEnterBackgroundNotification);
}

void Application::enterForeground()
{
    if (m_state != State::Background)
        return;
    auto delegate = m_delegate;
    m_state = State::Inactive;
    if (delegate)
        delegate->willEnterForeground(*this);
    post(kWillEnterForegroundNotification);
    m_state = State::Active;
    if (delegate)
        delegate->didBecomeActive(*this);
    post(kDidBecomeActiveNotification);
}

void Application::terminate()
{
    if (m_state == State::NotRunning)
        return;
    auto delegate = m_delegate;
    if (delegate)
        delegate->willTerminate(*this);
    post(kWillTerminateNotification);
    m_state = State::NotRunning;
}

void Application::receiveMemoryWarning()
{
    auto delegate = m_delegate;
    if (delegate)
        delegate->didReceiveMemoryWarning(*this);
    post(kDidReceiveMemoryWarningNotification);
}

void Application::deliverLocalNotification(LocalNotification notification)
{
    RunLoop::main().post([notification = std::move(notification)] {
        Application& app = Application::shared();
        if (auto delegate = app.m_delegate)
            delegate->didReceiveLocalNotification(app, notification);
    });
}

bool Application::canOpenURL(const Url& url) const
{
    return AppRegistry::shared().canOpenURL(url);
}

bool Application::openURL(const Url& url)
{
    return AppRegistry::shared().openURL(url, bundleIdentifier());
}

bool Application::canOpenURL(std::string_view address) const
{
    auto url = Url::fromString(address);
    return url && canOpenURL(*url);
}

bool Application::openURL(std::string_view address)
{
    auto url = Url::fromString(address);
    return url && openURL(*url);
}

bool Application::deliverOpenURL(const Url& url, const std::string& sourceApplication)
{
    auto delegate = m_delegate;
    return delegate && delegate->openURL(*this, url, sourceApplication);
}

void Application::reset()
{
    m_delegate.reset();
    m_state = State::NotRunning;
}

}
