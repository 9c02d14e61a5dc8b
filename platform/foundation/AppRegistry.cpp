#include "platform/foundation/AppRegistry.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Url.h"
#include "platform/foundation/UrlRequest.h"

#include <algorithm>

namespace pf {

AppRegistry& AppRegistry::shared()
{
    static AppRegistry* registry = new AppRegistry();
    return *registry;
}

void AppRegistry::install(App app)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_apps, [&](const App& a) { return a.bundleIdentifier == app.bundleIdentifier; });
    m_apps.push_back(std::move(app));
}

void AppRegistry::uninstall(const std::string& bundleIdentifier)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_apps, [&](const App& a) { return a.bundleIdentifier == bundleIdentifier; });
}

bool AppRegistry::isInstalled(const std::string& bundleIdentifier) const
{
    std::lock_guard lock(m_mutex);
    return std::any_of(m_apps.begin(), m_apps.end(), [&](const App& a) { return a.bundleIdentifier == bundleIdentifier; });
}

void AppRegistry::removeAll()
{
    std::lock_guard lock(m_mutex);
    m_apps.clear();
    m_opened.clear();
    m_queried.clear();
    m_forced.reset();
}

AppRegistry::Target AppRegistry::targetFor(const std::string& scheme, App* app) const
{
    if (scheme.empty())
        return Target::None;
    for (const auto& a : m_apps) {
        for (const auto& s : a.schemes) {
            if (equalsIgnoringCase(s, scheme)) {
                if (app)
                    *app = a;
                return Target::Installed;
            }
        }
    }
    for (const auto& s : Bundle::main()->urlSchemes())
        if (equalsIgnoringCase(s, scheme))
            return Target::Self;
    for (const char* s : { "http", "https", "itms-services" })
        if (equalsIgnoringCase(s, scheme))
            return Target::System;
    return Target::None;
}

bool AppRegistry::canOpenURL(const Url& url)
{
    std::lock_guard lock(m_mutex);
    m_queried.push_back(url.absoluteString());
    return targetFor(url.scheme(), nullptr) != Target::None;
}

bool AppRegistry::openURL(const Url& url, const std::string& sourceApplication)
{
    App app;
    Target target;
    std::optional<bool> forced;
    {
        std::lock_guard lock(m_mutex);
        m_opened.push_back({ url.absoluteString(), sourceApplication });
        target = targetFor(url.scheme(), &app);
        forced = m_forced;
    }
    if (forced && !*forced)
        return false;
    switch (target) {
    case Target::Installed:
        if (app.onOpenURL)
            RunLoop::main().post([handler = app.onOpenURL, url, sourceApplication] { handler(url, sourceApplication); });
        break;
    case Target::Self:
        RunLoop::main().post([url, sourceApplication] { Application::shared().deliverOpenURL(url, sourceApplication); });
        break;
    case Target::System:
    case Target::None:
        break;
    }
    return forced ? *forced : target != Target::None;
}

void AppRegistry::setForcedOpenResult(std::optional<bool> result)
{
    std::lock_guard lock(m_mutex);
    m_forced = result;
}

std::vector<AppRegistry::OpenedUrl> AppRegistry::openedURLs() const
{
    std::lock_guard lock(m_mutex);
    return m_opened;
}

std::vector<std::string> AppRegistry::queriedURLs() const
{
    std::lock_guard lock(m_mutex);
    return m_queried;
}

void AppRegistry::clearRecords()
{
    std::lock_guard lock(m_mutex);
    m_opened.clear();
    m_queried.clear();
}

}
