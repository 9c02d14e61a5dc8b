#include "sdk/lmconnect/openapi/MorrowSession.h"

#include "sdk/lmconnect/openapi/MROpenSDKErrorUtil.h"
#include "sdk/lmconnect/openapi/MorrowRequest.h"

#include <cctype>

std::shared_ptr<MRAPIRequest> MorrowSession::cgiRequestWithURL(const std::string& url, const std::string& method,
    const MorrowParams& params, std::weak_ptr<MRAPIRequestDelegate> callback)
{
    auto request = MRAPIRequest::initWithURL(url, method);
    for (auto& [key, value] : params)
        request->setObject(key, value);
    if (!sendAPIRequest(request, std::move(callback)))
        return nullptr;
    return request;
}

bool MorrowSession::sendAPIRequest(const std::shared_ptr<MRAPIRequest>& request, std::weak_ptr<MRAPIRequestDelegate> callback)
{
    if (!request || !isSessionValid() || !isOpenIdValid())
        return false;
    if (!request->tryLoad())
        return false;
    std::string method = request->method();
    for (char& c : method)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (request->apiURL().empty() || (method != "GET" && method != "POST"))
        return false;

    std::weak_ptr<MorrowSession> weakSelf = weak_from_this();
    auto call = APIBase::initWithTarget(weakSelf,
        [weakSelf](const std::shared_ptr<APIResponse>& response) {
            if (auto self = weakSelf.lock())
                self->onCGIRequestDidResponse(response);
        },
        method, request->paramUserData());
    call->openUrl(request->apiURL(), accessToken(), openId(), appId(), request->params());
    call->setCgiRequest(request);
    std::string key = std::to_string(call->seq());
    m_apiRequests[key] = call;
    request->setRequestKey(key);
    request->setMorrowOAuth(weakSelf);
    request->setCallback(std::move(callback));
    return true;
}

void MorrowSession::onCGIRequestDidResponse(const std::shared_ptr<APIResponse>& response)
{
    if (!response)
        return;
    if (response->retCode == 0)
        MROpenSDKErrorUtil::apiResponseConvert(*response);
    std::string key = std::to_string(response->seq);
    auto it = m_apiRequests.find(key);
    if (it == m_apiRequests.end())
        return;
    auto call = it->second;
    if (auto request = call->cgiRequest())
        request->apiBaseDidResponse(response);
    m_apiRequests.erase(key);
}

void MorrowSession::cancelWithRequestKey(const std::string& key)
{
    auto it = m_apiRequests.find(key);
    if (it == m_apiRequests.end())
        return;
    auto call = it->second;
    call->setTarget({});
    if (auto request = call->request())
        request->setDelegate({});
    call->cancel();
    deleteAPIRequestBySeq(key);
}

bool MorrowSession::cancel(const pf::Value& userData)
{
    for (auto it = m_apiRequests.begin(); it != m_apiRequests.end(); ++it) {
        if (it->second && it->second->userData() == userData) {
            auto call = it->second; // the entry goes before the call ends
            m_apiRequests.erase(it);
            call->cancel();
            return true;
        }
    }
    return false;
}

void MorrowSession::deleteAPIRequestBySeq(const std::string& key)
{
    auto it = m_apiRequests.find(key);
    if (it == m_apiRequests.end())
        return;
    auto call = it->second;
    if (auto request = call->cgiRequest()) {
        request->setRequestKey({});
        request->setMorrowOAuth({});
    }
    m_apiRequests.erase(it);
}

void MorrowSession::addAPIRequest(const std::shared_ptr<APIBase>& call)
{
    if (call)
        m_apiRequests[std::to_string(call->seq())] = call;
}
