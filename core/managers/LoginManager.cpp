#include "core/managers/LoginManager.h"

#include "platform/foundation/UserDefaults.h"

std::shared_ptr<LoginManager> LoginManager::sharedInstance()
{
    static const std::shared_ptr<LoginManager> instance = std::make_shared<LoginManager>();
    return instance;
}

void LoginManager::recordUserToken(const std::string& token)
{
    pf::UserDefaults::standard()->setString(kUserTokenKey, token);
}

std::optional<std::string> LoginManager::getUserToken() const
{
    return pf::UserDefaults::standard()->stringForKey(kUserTokenKey);
}

void LoginManager::clearUserToken()
{
    pf::UserDefaults::standard()->removeObjectForKey(kUserTokenKey);
}
