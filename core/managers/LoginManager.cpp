#include "core/managers/LoginManager.h"

#include "core/NetworkParameterAssistant.h"
#include "core/NetworkRequestor.h"
#include "core/PortalReplyEnvelope.h"
#include "core/UserTokenStore.h"
#include "core/records/UserInfo.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/NotificationCenter.h"

std::shared_ptr<LoginManager> LoginManager::sharedInstance()
{
    static const std::shared_ptr<LoginManager> instance = [] {
        auto manager = std::make_shared<LoginManager>();
        manager->startFresh();
        // A test starts a fresh device with an empty notification centre: begin again.
        std::weak_ptr<LoginManager> weak = manager;
        pf::ResetRegistry::add([weak] {
            if (auto self = weak.lock())
                self->startFresh();
        });
        return manager;
    }();
    return instance;
}

void LoginManager::startFresh()
{
    auto& center = pf::NotificationCenter::defaultCenter();
    m_userInformation.reset();
    m_networkRequestor.reset();
    m_autoLoginRequestor.reset();
    center.removeObserver(this);

    std::weak_ptr<LoginManager> weak = weak_from_this();
    center.addObserver(weak, kUserLoginNotification, [weak](const pf::Notification& n) {
        if (auto self = weak.lock())
            self->loginFinished(n);
    });
    center.addObserver(weak, kUserLogoutNotification, [weak](const pf::Notification& n) {
        if (auto self = weak.lock())
            self->logoutFinished(n);
    });
}

bool LoginManager::recordUserToken(const std::string& token)
{
    if (!UserTokenStore::record(token)) {
        pf::Log::line("LoginManager: the user token cannot be kept; the login is not made");
        return false;
    }
    beginLoginGeneration();
    return true;
}

std::optional<std::string> LoginManager::getUserToken() const
{
    return UserTokenStore::token();
}

void LoginManager::clearUserToken()
{
    UserTokenStore::clear();
    beginLoginGeneration();
}

void LoginManager::beginLoginGeneration()
{
    ++m_loginGeneration;
    // Their replies describe the user of the login that just ended: posted now, they would
    // bring that user back after a logout, or show them in place of the one who logged in.
    for (auto* requestor : { &m_networkRequestor, &m_autoLoginRequestor }) {
        if (*requestor) {
            (*requestor)->cancel();
            requestor->reset();
        }
    }
}

bool LoginManager::postUserLogin(const pf::Value& reply, uint64_t generation)
{
    if (generation != m_loginGeneration)
        return false;
    pf::NotificationCenter::defaultCenter().post(kUserLoginNotification, reply);
    return true;
}

std::shared_ptr<NetworkRequestor> LoginManager::startUserInfoRequest()
{
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::UserInfo);
    if (!address) {
        pf::Log::line("LoginManager: no address for the user information request");
        return nullptr;
    }
    auto requestor = NetworkRequestor::create();
    requestor->startPostMethodURLConnection(*address,
        NetworkParameterAssistant::parametersForUserInfoWithAvaType(kAvatarType), true, weak_from_this());
    return requestor;
}

void LoginManager::requestUserInfo()
{
    if (!getUserToken()) {
        pf::NotificationCenter::defaultCenter().post(kUserNotLoginNotification);
        return;
    }
    m_networkRequestor = startUserInfoRequest();
}

void LoginManager::requestAutoLoginUserInfo()
{
    if (!getUserToken()) {
        pf::NotificationCenter::defaultCenter().post(kUserNotLoginNotification);
        return;
    }
    m_autoLoginRequestor = startUserInfoRequest();
}

void LoginManager::networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data)
{
    if (!requestor)
        return;
    auto reply = PortalReplyEnvelope::parse(data);
    bool success = reply.isSuccess() && reply.body().isDictionary();
    auto& center = pf::NotificationCenter::defaultCenter();
    if (requestor == m_networkRequestor) {
        m_networkRequestor.reset();
        center.post(success ? kUserLoginNotification : kUserNotLoginNotification, reply.reply());
    } else if (requestor == m_autoLoginRequestor) {
        m_autoLoginRequestor.reset();
        if (!success)
            return;
        m_userInformation = UserInfo::itemFromDictionary(reply.body());
        center.post(kAutoLoginUserInfoNotification, reply.reply());
    }
}

void LoginManager::loginFinished(const pf::Notification& notification)
{
    // A login whose body is no record still ends the previous user's session here: keeping
    // that user's record would show one account while another is logged in.
    const pf::Value& body = notification.object["body"];
    if (body.isDictionary())
        m_userInformation = UserInfo::itemFromDictionary(body);
    else
        m_userInformation.reset();
}

void LoginManager::logoutFinished(const pf::Notification&)
{
    m_userInformation.reset();
    beginLoginGeneration();
}
