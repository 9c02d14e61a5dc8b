#include "sdk/lmconnect/MorrowWebLogin.h"

#include "sdk/lmconnect/MorrowOAuth.h"
#include "sdk/lmconnect/openapi/APIBase.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/lmconnect/openapi/MorrowParams.h"
#include "sdk/lmconnect/openapi/MorrowRequest.h"
#include "sdk/lmconnect/openapi/MrApiTool.h"
#include "sdk/lmconnect/web/MRLoginViewKit.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Reachability.h"
#include "platform/foundation/Url.h"
#include "platform/ui/AlertView.h"

#include <cstdlib>

namespace {

std::vector<std::string> split(const std::string& text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!part.empty())
            parts.push_back(part);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return parts;
}

}

MorrowWebLogin::MorrowWebLogin(std::weak_ptr<MorrowOAuth> session)
    : m_session(std::move(session))
{
}

MorrowWebLogin::~MorrowWebLogin()
{
    stopNotifyNetWork();
    for (auto& [request, serial] : m_openIdRequests)
        request->cancel();
}

void MorrowWebLogin::showAlert(const char* title, const char* message)
{
    auto alert = std::make_shared<pf::AlertView>(title, message, std::weak_ptr<pf::AlertViewDelegate>(), kAlertButton);
    alert->show();
}

std::string MorrowWebLogin::authorizeInWebviewKitWithParams(const pf::Value& params)
{
    auto session = m_session.lock();
    if (!session)
        return "false";
    auto permissions = split(params["permission"].optionalString().value_or(""));
    auto isAdd = params["isAdd"].optionalString();
    auto accessToken = params["accessToken"].optionalString();
    pf::Dictionary extra;
    if (isAdd && accessToken)
        extra = pf::Dictionary { { "isadd", *isAdd }, { "access_token", *accessToken } };
    bool opened = authorizeWithMorrowAppAuthInappId(params["appid"].optionalString().value_or(""), permissions, params["appScheme"].optionalString().value_or(""),
        params["redirecURI"].optionalString(), extra, std::static_pointer_cast<MorrowSessionDelegate>(session));
    return opened ? "true" : "false";
}

bool MorrowWebLogin::authorizeWithMorrowAppAuthInappId(const std::string& appId, const std::vector<std::string>& permissions,
    const std::string& scheme, const std::optional<std::string>& redirectURI, const pf::Dictionary& extraParams,
    std::weak_ptr<MorrowSessionDelegate> delegate)
{
    auto self = shared_from_this();
    if (!MrApiTool::isRegistSchemeInfoPlistFile(scheme)) {
        showAlert(kConfigErrorTitle, kConfigErrorMessage);
        return false;
    }
    if (!startNotifyNetWork()) {
        if (auto target = delegate.lock())
            target->morrowDidNotNetWork();
        return false;
    }
    if (m_loginViewKit) {
        m_loginViewKit->clearData();
        m_loginViewKit->setAuthorData(appId, redirectURI, permissions);
    } else {
        m_loginViewKit = MRLoginViewKit::initWithAppId(appId, redirectURI, permissions, self);
    }
    std::string serial = std::to_string(APIBase::getApiBaseSeq());
    m_loginViewKit->setSerial(serial);
    m_loginViewKit->setNewloginDelegate(delegate);
    m_loginViewKit->setExtraParams(extraParams);
    bool opened = m_loginViewKit->openWithExtraParams(extraParams);
    if (opened && delegate.lock())
        m_loginDict[serial] = delegate;
    if (!opened)
        stopNotifyNetWork();
    return opened;
}

bool MorrowWebLogin::startNotifyNetWork()
{
    stopNotifyNetWork();
    auto probe = pf::Reachability::forHostName(MorrowHostConfig::shared().webHost());
    if (probe->currentReachabilityStatus() == pf::Reachability::Status::NotReachable)
        return false;
    // The network is up. When the system will not watch it, the sign-in goes on unwatched and
    // nothing of the watch stays behind.
    if (!probe->startNotifier())
        return true;
    m_reachHost = probe;
    m_reachable = true;
    m_observerOwner = std::make_shared<int>(0);
    std::weak_ptr<MorrowWebLogin> weak = shared_from_this();
    pf::NotificationCenter::defaultCenter().addObserver(m_observerOwner, probe->notificationName(), [weak](const pf::Notification&) {
        if (auto self = weak.lock())
            self->reachabilityChanged();
    }, probe);
    return true;
}

void MorrowWebLogin::stopNotifyNetWork()
{
    if (m_observerOwner)
        pf::NotificationCenter::defaultCenter().removeObserver(m_observerOwner.get());
    m_observerOwner.reset();
    if (m_reachHost)
        m_reachHost->stopNotifier();
    m_reachHost.reset();
}

// One alert for each loss, however long it lasts.
void MorrowWebLogin::reachabilityChanged()
{
    if (!m_reachHost)
        return;
    bool reachable = m_reachHost->currentReachabilityStatus() != pf::Reachability::Status::NotReachable;
    if (!reachable && m_reachable)
        showAlert(kNetworkErrorTitle, kNetworkErrorMessage);
    m_reachable = reachable;
}

std::shared_ptr<MorrowSessionDelegate> MorrowWebLogin::takeDelegate(const std::string& serial)
{
    auto entry = m_loginDict.find(serial);
    if (entry == m_loginDict.end())
        return nullptr;
    auto delegate = entry->second.lock();
    m_loginDict.erase(entry);
    return delegate;
}

std::vector<std::string> MorrowWebLogin::waitingSerials() const
{
    std::vector<std::string> serials;
    for (const auto& [serial, delegate] : m_loginDict)
        serials.push_back(serial);
    return serials;
}

void MorrowWebLogin::loginViewKitDidSucceedLogin(MRLoginViewKit& kit, const std::string& serial)
{
    auto self = shared_from_this();
    stopNotifyNetWork();
    auto session = m_session.lock();
    if (!session || serial.empty() || !m_loginDict.count(serial) || &kit != m_loginViewKit.get())
        return;
    session->setAccessToken(kit.accessToken());
    session->setExpirationDate(kit.expirationDate());
    if (kit.openId() && !kit.openId()->empty()) {
        session->setOpenId(*kit.openId());
        if (auto delegate = takeDelegate(serial))
            delegate->morrowDidLogin();
        return;
    }
    if (!getOpenId(serial)) {
        if (auto delegate = takeDelegate(serial))
            delegate->morrowDidNotLogin(false);
    }
}

void MorrowWebLogin::loginViewKitDidFailuredWithError(MRLoginViewKit& kit, const std::optional<pf::UrlError>& error, const std::string& serial)
{
    auto self = shared_from_this();
    stopNotifyNetWork();
    if (serial.empty())
        return;
    auto delegate = takeDelegate(serial);
    if (!delegate || &kit != m_loginViewKit.get())
        return;
    if (!error) {
        delegate->morrowDidNotLogin(true);
    } else if (error->code == pf::UrlError::NotConnectedToInternet) {
        delegate->morrowDidNotNetWork();
        showAlert(kNetworkErrorTitle, kNetworkErrorMessage);
    } else {
        delegate->morrowDidNotLogin(false);
    }
}

bool MorrowWebLogin::getOpenId(const std::string& serial)
{
    auto session = m_session.lock();
    if (!session || !session->isSessionValid() || std::atoi(serial.c_str()) == 0)
        return false;
    MorrowParams params { { "format", "json" }, { "oauth_consumer_key", session->appId() }, { "access_token", session->accessToken() } };
    if (session->isOpenIdValid())
        params.set("openid", session->openId());
    auto request = MorrowRequest::getRequestWithParams(std::move(params), "GET", shared_from_this(),
        MorrowHostConfig::shared().openApiBase() + "oauth2.0/m_me");
    m_openIdRequests[request] = serial;
    request->connect();
    return true;
}

void MorrowWebLogin::openIdAnswered(const std::shared_ptr<MorrowRequest>& request, const std::optional<std::string>& openId)
{
    auto self = shared_from_this();
    auto found = m_openIdRequests.find(request);
    if (found == m_openIdRequests.end())
        return;
    std::string serial = found->second;
    m_openIdRequests.erase(found);
    auto delegate = takeDelegate(serial);
    auto session = m_session.lock();
    if (openId && !openId->empty() && session) {
        session->setOpenId(*openId);
        if (delegate)
            delegate->morrowDidLogin();
    } else if (delegate) {
        delegate->morrowDidNotLogin(false);
    }
}

void MorrowWebLogin::requestDidLoadRawResponse(const std::shared_ptr<MorrowRequest>& request, const pf::Bytes& data)
{
    auto reply = MrApiTool::unwrapCallbackReply(MorrowRequest::decodeReplyText(data).value_or(""));
    const pf::Value* openId = reply && reply->asDictionary() ? reply->asDictionary()->find("openid") : nullptr;
    openIdAnswered(request, openId ? openId->optionalString() : std::nullopt);
}

void MorrowWebLogin::requestDidFailWithError(const std::shared_ptr<MorrowRequest>& request, const MorrowError&)
{
    openIdAnswered(request, std::nullopt);
}

bool MorrowWebLogin::handleOpenURL(const pf::Url& url)
{
    return m_loginViewKit && m_loginViewKit->handleOpenURL(url);
}

bool MorrowWebLogin::canHandleOpenURL(const pf::Url& url) const
{
    return m_loginViewKit && m_loginViewKit->canHandleOpenURL(url);
}
