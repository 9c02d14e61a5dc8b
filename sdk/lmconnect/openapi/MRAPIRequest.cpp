#include "sdk/lmconnect/openapi/MRAPIRequest.h"

#include "sdk/lmconnect/openapi/MorrowSession.h"

std::shared_ptr<MRAPIRequest> MRAPIRequest::init()
{
    return std::shared_ptr<MRAPIRequest>(new MRAPIRequest());
}

std::shared_ptr<MRAPIRequest> MRAPIRequest::initWithURL(std::string url, std::string method)
{
    auto request = init();
    request->setAddress(std::move(url), std::move(method));
    return request;
}

void MRAPIRequest::setAddress(std::string url, std::string method)
{
    m_apiURL = std::move(url);
    m_method = std::move(method);
}

void MRAPIRequest::setParamUserData(pf::Value userData)
{
    m_paramUserData = std::move(userData);
    if (m_paramUserData.isNone())
        m_params.remove(kUserDataKey);
    else
        m_params.set(kUserDataKey, m_paramUserData);
}

std::optional<MorrowParam> MRAPIRequest::paramValue(std::string_view name) const
{
    const MorrowParam* param = m_params.find(name);
    if (!param)
        return std::nullopt;
    return *param;
}

void MRAPIRequest::setParamValue(std::string name, std::optional<MorrowParam> value)
{
    if (value)
        m_params.set(std::move(name), std::move(*value));
    else
        m_params.remove(name);
}

std::optional<std::string> MRAPIRequest::textParam(std::string_view name) const
{
    return m_params.textFor(name);
}

bool MRAPIRequest::swapState(State from, State to)
{
    std::int32_t expected = from;
    return m_state.compare_exchange_strong(expected, to);
}

bool MRAPIRequest::tryLoad()
{
    return swapState(Idle, Loading);
}

void MRAPIRequest::cancel()
{
    if (!swapState(Idle, Cancelled) && !swapState(Loading, Cancelled))
        return;
    auto self = shared_from_this();
    auto session = m_morrowOAuth.lock();
    if (session && m_requestKey)
        session->cancelWithRequestKey(*m_requestKey);
    reset();
}

void MRAPIRequest::reset()
{
    m_morrowOAuth.reset();
    m_requestKey.reset();
    m_callback.reset();
}

std::vector<std::string> MRAPIRequest::keyEnumerator() const
{
    std::vector<std::string> keys;
    for (const auto& [key, value] : m_params)
        keys.push_back(key);
    return keys;
}

void MRAPIRequest::responseProcess(const std::shared_ptr<APIResponse>& response)
{
    if (!response)
        return;
    if (m_response && response->jsonResponse.isDictionary())
        response->jsonResponse.set("jsonResponse", m_response->jsonResponse);
    m_response = response;
}

void MRAPIRequest::apiBaseDidResponse(const std::shared_ptr<APIResponse>& response)
{
    if (!response)
        return;
    auto self = shared_from_this();
    responseProcess(response);
    if (swapState(Loading, Done)) {
        if (auto callback = m_callback.lock())
            callback->cgiRequestDidResponse(self, response);
    }
}
