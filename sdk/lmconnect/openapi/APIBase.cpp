#include "sdk/lmconnect/openapi/APIBase.h"

#include "sdk/lmconnect/openapi/MRAPIRequest.h"
#include "sdk/lmconnect/openapi/MorrowRequest.h"
#include "sdk/lmconnect/openapi/MorrowSession.h"
#include "sdk/lmconnect/openapi/MrApiTool.h"

#include <atomic>

namespace {

std::atomic<std::int32_t> g_apiBaseSeq { 0 };

bool isTrimmed(char c)
{
    return c == '/' || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}

std::int32_t APIBase::getApiBaseSeq()
{
    return g_apiBaseSeq.fetch_add(1) + 1;
}

std::shared_ptr<APIBase> APIBase::initWithTarget(std::weak_ptr<APIBaseTarget> target, Selector selector,
    std::string httpMethod, pf::Value userData)
{
    auto call = std::shared_ptr<APIBase>(new APIBase());
    call->m_target = std::move(target);
    call->m_selector = std::move(selector);
    call->m_httpMethod = std::move(httpMethod);
    call->m_userData = std::move(userData);
    call->m_seq = getApiBaseSeq();
    return call;
}

std::shared_ptr<APIBase> APIBase::initWithTarget(std::weak_ptr<APIBaseTarget> target, Selector selector,
    std::string httpMethod, std::weak_ptr<APIBaseDelegate> delegate, pf::Value userData)
{
    auto call = initWithTarget(std::move(target), std::move(selector), std::move(httpMethod), std::move(userData));
    call->m_delegate = std::move(delegate);
    return call;
}

void APIBase::requestDidSendBodyData(const std::shared_ptr<MorrowRequest>&, std::int64_t bytesWritten,
    std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite)
{
    if (auto delegate = m_delegate.lock())
        delegate->apiBaseDidSendBodyData(shared_from_this(), bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
}

void APIBase::requestDidWriteData(const std::shared_ptr<MorrowRequest>&, std::int64_t bytesWritten,
    std::int64_t totalBytesWritten, std::int64_t expectedTotalBytes)
{
    if (auto delegate = m_delegate.lock())
        delegate->apiBaseDidWriteData(shared_from_this(), bytesWritten, totalBytesWritten, expectedTotalBytes);
}

APIBase::~APIBase()
{
    if (m_request) {
        m_request->setDelegate({});
        m_request->cancel();
    }
    if (m_cgiRequest) {
        m_cgiRequest->setRequestKey({});
        m_cgiRequest->setMorrowOAuth({});
    }
}

std::shared_ptr<MorrowRequest> APIBase::openUrl(const std::string& url, const std::optional<std::string>& token,
    const std::optional<std::string>& openid, const std::optional<std::string>& appid, MorrowParams params)
{
    return send(url, std::move(params), { { "oauth_consumer_key", appid }, { "access_token", token }, { "openid", openid } });
}

std::shared_ptr<MorrowRequest> APIBase::openUrlBySkey(const std::string& url, const std::optional<std::string>& skey,
    const std::optional<std::string>& uin, const std::optional<std::string>& appid, MorrowParams params)
{
    return send(url, std::move(params), { { "oauth_consumer_key", appid }, { "skey", skey }, { "uin", uin } });
}

std::shared_ptr<MorrowRequest> APIBase::send(const std::string& url, MorrowParams params,
    std::vector<std::pair<const char*, std::optional<std::string>>> credentials)
{
    if (const MorrowParam* userData = params.find(kParamUserData)) {
        m_userData = userData->value;
        params.remove(kParamUserData);
    }
    for (auto& [key, value] : MrApiTool::SDKInfo())
        params.set(key, value);
    params.set("format", "json");
    for (auto& [key, value] : credentials) {
        if (value)
            params.set(key, *value);
    }
    if (m_request) {
        m_request->setDelegate({});
        m_request->cancel();
    }
    m_request = MorrowRequest::getRequestWithParams(std::move(params), m_httpMethod, weak_from_this(), url);
    m_request->connect();
    return m_request;
}

void APIBase::cancel()
{
    if (m_request)
        m_request->cancel();
    if (auto cgi = std::move(m_cgiRequest))
        cgi->reset();
}

std::optional<std::string> APIBase::parsePermissionFromURL(const std::string& url)
{
    size_t begin = 0, end = url.size();
    while (begin < end && isTrimmed(url[begin]))
        ++begin;
    while (end > begin && isTrimmed(url[end - 1]))
        --end;
    std::string_view trimmed(url.data() + begin, end - begin);
    size_t slash = trimmed.rfind('/');
    if (trimmed.empty() || slash == std::string_view::npos)
        return std::nullopt;
    return std::string(trimmed.substr(slash + 1));
}

std::shared_ptr<APIResponse> APIBase::newResponse() const
{
    auto response = std::make_shared<APIResponse>();
    response->seq = m_seq;
    response->userData = m_userData;
    return response;
}

void APIBase::requestDidLoad(const std::shared_ptr<MorrowRequest>& request, const pf::Value& result, const pf::Bytes& data)
{
    auto self = shared_from_this();
    auto response = newResponse();
    response->message = MorrowRequest::decodeReplyText(data).value_or(std::string());
    if (result.isDictionary() && result.size() > 0) {
        response->retCode = 0;
        response->jsonResponse = result;
    } else {
        response->retCode = 1;
        response->errorMsg = kBadReplyMessage;
    }

    auto target = m_target.lock();
    auto session = std::dynamic_pointer_cast<MorrowSession>(target);
    bool delivered = true;
    auto permission = parsePermissionFromURL(request ? request->url() : std::string());
    const pf::Value& ret = response->jsonResponse[kParamRetCode];
    if (session && permission && ret.isNumber() && ret.longValue() == kRetNeedsPermission)
        delivered = session->morrowNeedPerformIncrAuth({ *permission });

    if (delivered && m_selector) {
        if (target)
            m_selector(response);
        return;
    }
    if (session)
        session->deleteAPIRequestBySeq(std::to_string(m_seq));
}

void APIBase::requestDidFailWithError(const std::shared_ptr<MorrowRequest>& request, const MorrowError& error)
{
    auto self = shared_from_this();
    auto response = newResponse();
    response->retCode = 1;
    response->errorMsg = error.description;
    if (m_selector && m_target.lock())
        m_selector(response);
}
