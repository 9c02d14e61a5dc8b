#include "core/NetworkRequestor.h"

#include "core/UserTokenStore.h"
#include "platform/foundation/AsciiText.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UrlCache.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/foundation/UserDefaults.h"

NetworkRequestor::~NetworkRequestor()
{
    m_delegate.reset();
    if (m_connection)
        m_connection->cancel();
}

std::string NetworkRequestor::escapeFormText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '&' || c == '=' || c == '+' || c == '%' || byte < 0x20 || byte == 0x7F) {
            pf::AsciiText::appendPercentEscaped(out, byte);
        } else {
            out += c;
        }
    }
    return out;
}

std::string NetworkRequestor::formBody(const RequestParameters& parameters)
{
    std::string body;
    for (auto& [key, value] : parameters) {
        if (!body.empty())
            body += '&';
        body += escapeFormText(key);
        body += '=';
        body += escapeFormText(value);
    }
    return body;
}

bool NetworkRequestor::isSafeHeaderValue(std::string_view value)
{
    for (char c : value) {
        auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7F)
            return false;
    }
    return true;
}

void NetworkRequestor::startPostMethodURLConnection(const std::string& url, const RequestParameters& parameters,
    bool isUserTokenNeeded, std::weak_ptr<NetworkRequestorDelegate> delegate)
{
    start(url, parameters, isUserTokenNeeded ? UserTokenStore::token() : std::nullopt, std::move(delegate));
}

void NetworkRequestor::startPostMethodURLConnectionWithUserToken(const std::string& url, const RequestParameters& parameters,
    const std::string& userToken, std::weak_ptr<NetworkRequestorDelegate> delegate)
{
    start(url, parameters, userToken, std::move(delegate));
}

void NetworkRequestor::start(const std::string& url, const RequestParameters& parameters, const std::optional<std::string>& token,
    std::weak_ptr<NetworkRequestorDelegate> delegate)
{
    if (m_connection)
        m_connection->cancel();

    pf::UrlRequest request(url);
    request.setMethod("POST");
    if (token && isSafeHeaderValue(*token))
        request.setValue("OAuth usertoken=\"" + *token + "\"", "Authorization");
    else if (token)
        pf::Log::line("NetworkRequestor: user token holds control characters; no Authorization header sent");
    auto imei = pf::UserDefaults::standard()->stringForKey(kDeviceIdentifierKey);
    if (imei && isSafeHeaderValue(*imei))
        request.setValue(*imei, kDeviceIdentifierKey);
    std::string body = formBody(parameters);
    request.setValue(std::to_string(body.size()), "Content-length");
    request.setBody(body);
    request.setMaximumResponseSize(kMaximumReplySize);

    m_data.clear();
    m_url = url;
    m_status = 0;
    m_delegate = std::move(delegate);
    m_connection = pf::UrlConnection::create(std::move(request));
    // The callbacks hold the requestor until the request ends, as a running connection holds
    // its delegate. The connection drops its callbacks when it finishes, fails or is
    // cancelled (by `cancel` or from outside), and with them the cycle.
    auto self = shared_from_this();
    m_connection->didReceiveResponse = [self](const pf::UrlResponse& response) { self->m_status = response.statusCode(); };
    m_connection->didReceiveData = [self](const pf::Bytes& bytes) {
        self->m_data.insert(self->m_data.end(), bytes.begin(), bytes.end());
    };
    m_connection->didFinishLoading = [self] { self->finish(); };
    m_connection->didFailWithError = [self](const pf::UrlError& error) { self->fail(error); };
    m_connection->start();
}

void NetworkRequestor::finish()
{
    // Dropping the connection ends the cycle through its callbacks once this call returns.
    auto keepAlive = shared_from_this();
    m_connection.reset();
    if (m_status < 200 || m_status >= 300)
        postFailure(m_status, nullptr);
    if (auto delegate = m_delegate.lock())
        delegate->networkRequestorDidFinishWithData(keepAlive, m_data);
    pf::UrlCache::shared().removeAllCachedResponses();
}

void NetworkRequestor::fail(const pf::UrlError& error)
{
    auto keepAlive = shared_from_this();
    m_connection.reset();
    pf::Log::format("NetworkRequestor: %s", error.description.c_str());
    postFailure(0, &error);
    if (auto delegate = m_delegate.lock())
        delegate->networkRequestorDidFailWithError(keepAlive, error);
}

void NetworkRequestor::postFailure(int status, const pf::UrlError* error)
{
    pf::Dictionary info { { "url", m_url }, { "status", status }, { "error", error ? error->description : std::string() },
        { "code", error ? error->code : 0 } };
    pf::NotificationCenter::defaultCenter().post(kRequestFailedNotification, {}, shared_from_this(), std::move(info));
}

bool NetworkRequestor::isRunning() const
{
    return m_connection && m_connection->isLoading();
}

void NetworkRequestor::cancel()
{
    if (auto connection = std::move(m_connection))
        connection->cancel();
}
