#include "core/AppInfoConfiguration.h"

#include "platform/foundation/Bundle.h"

std::shared_ptr<AppInfoConfiguration> AppInfoConfiguration::sharedInstance()
{
    static const std::shared_ptr<AppInfoConfiguration> instance = [] {
        auto configuration = std::make_shared<AppInfoConfiguration>();
        configuration->readAppConfigurationFromPlistFie();
        return configuration;
    }();
    return instance;
}

void AppInfoConfiguration::readAppConfigurationFromPlistFie()
{
    pf::Value list;
    if (auto bundle = pf::Bundle::main())
        list = bundle->propertyListResource("AppInfoConfiguration").value_or(pf::Value());
    auto textOf = [&](const char* key) {
        const std::string* text = list[key].asString();
        return text ? *text : std::string();
    };
    m_appKey = textOf("app_key");
    m_openID = textOf("open_id");
    m_apiBaseURL = textOf("api_base_url");
    m_forumBaseURL = textOf("forum_base_url");
}
