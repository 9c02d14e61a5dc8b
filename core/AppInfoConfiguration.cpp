#include "core/AppInfoConfiguration.h"

#include "core/BundlePropertyListReader.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Url.h"

std::shared_ptr<AppInfoConfiguration> AppInfoConfiguration::sharedInstance()
{
    static const std::shared_ptr<AppInfoConfiguration> instance = [] {
        auto configuration = std::make_shared<AppInfoConfiguration>();
        configuration->readAppConfigurationFromPlistFie();
        // A test's fresh device reads its own bundle's list again.
        pf::ResetRegistry::add([weak = std::weak_ptr<AppInfoConfiguration>(configuration)] {
            if (auto self = weak.lock())
                self->readAppConfigurationFromPlistFie();
        });
        return configuration;
    }();
    return instance;
}

void AppInfoConfiguration::readAppConfigurationFromPlistFie()
{
    BundlePropertyListReader list("AppInfoConfiguration");
    m_appKey = list.text("app_key");
    m_openID = list.text("open_id");
    m_apiBaseURL = list.text("api_base_url");
    m_forumBaseURL = list.text("forum_base_url");
    m_homePageURL = list.text("home_page_url");
}

std::vector<std::string> AppInfoConfiguration::cookieHosts() const
{
    std::vector<std::string> hosts;
    for (const std::string* address : { &m_homePageURL, &m_forumBaseURL, &m_apiBaseURL }) {
        auto url = pf::Url::fromString(*address);
        if (url && !url->host().empty())
            hosts.push_back(url->host());
    }
    return hosts;
}
