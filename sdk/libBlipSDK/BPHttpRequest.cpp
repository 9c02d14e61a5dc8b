#include "sdk/libBlipSDK/BPHttpRequest.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/graphics/Image.h"
#include "sdk/libBlipSDK/BlipText.h"

namespace blip {

namespace {

void append(pf::Bytes& body, std::string_view text)
{
    BPHttpRequest::appendUTF8BodyDataString(body, text);
}

}

void BPHttpRequest::appendUTF8BodyDataString(pf::Bytes& body, std::string_view text)
{
    body.insert(body.end(), text.begin(), text.end());
}

BPHttpRequest::BPHttpRequest(std::string url, std::string method, Params params,
    std::weak_ptr<BPHttpRequestDelegate> delegate, std::string tag)
    : m_url(std::move(url))
    , m_method(std::move(method))
    , m_params(std::move(params))
    , m_delegate(std::move(delegate))
    , m_tag(std::move(tag))
{
}

std::shared_ptr<BPHttpRequest> BPHttpRequest::requestWithURL(const std::string& url, const std::string& httpMethod,
    const Params& params, const std::weak_ptr<BPHttpRequestDelegate>& delegate, const std::string& tag)
{
    std::shared_ptr<BPHttpRequest> request(new BPHttpRequest(url, httpMethod, params, delegate, tag));
    request->connect();
    return request;
}

std::shared_ptr<BPHttpRequest> BPHttpRequest::requestWithAccessToken(const std::string& accessToken,
    const std::string& url, const std::string& httpMethod, const Params& params,
    const std::weak_ptr<BPHttpRequestDelegate>& delegate, const std::string& tag)
{
    Params withToken = params;
    withToken.push_back({ "access_token", accessToken });
    return requestWithURL(url, httpMethod, withToken, delegate, tag);
}

std::string BPHttpRequest::serializeURL(const std::string& url, const Params& params, const std::string& httpMethod)
{
    std::string separator = url.find('?') != std::string::npos ? "&" : "?";
    std::string pairs;
    for (const Param& p : params) {
        const std::string* text = std::get_if<std::string>(&p.value);
        if (!text) {
            if (httpMethod == "GET")
                pf::Log::line("can not use GET to upload a file");
            continue;
        }
        if (!pairs.empty())
            pairs += "&";
        pairs += p.name + "=" + BlipText::escapeQueryValue(*text);
    }
    return url + separator + pairs;
}

pf::Bytes BPHttpRequest::postBodyHasRawData(bool* hasRawData) const
{
    const std::string delimiter = std::string("--") + kBoundary + "\r\n";
    pf::Bytes body;
    append(body, delimiter);
    std::vector<const Param*> files;
    for (const Param& p : m_params) {
        const std::string* text = std::get_if<std::string>(&p.value);
        if (!text) {
            files.push_back(&p);
            continue;
        }
        append(body, "Content-Disposition: form-data; name=\"" + p.name + "\"\r\n\r\n" + *text + "\r\n");
        append(body, delimiter);
    }
    if (hasRawData)
        *hasRawData = !files.empty();
    for (size_t i = 0; i < files.size(); ++i) {
        const Param& p = *files[i];
        append(body, "Content-Disposition: form-data; name=\"" + p.name + "\"; filename=\"file\"\r\n");
        pf::Bytes bytes;
        if (const auto* image = std::get_if<std::shared_ptr<pf::Image>>(&p.value)) {
            append(body, "Content-Type: image/png\r\nContent-Transfer-Encoding: binary\r\n\r\n");
            if (*image)
                bytes = (*image)->pngData();
        } else {
            append(body, "Content-Type: content/unknown\r\nContent-Transfer-Encoding: binary\r\n\r\n");
            bytes = std::get<pf::Bytes>(p.value);
        }
        body.insert(body.end(), bytes.begin(), bytes.end());
        if (i + 1 < files.size())
            append(body, std::string("\r\n--") + kBoundary + "\r\n");
        else
            append(body, std::string("\r\n--") + kBoundary + "--\r\n");
    }
    return body;
}

void BPHttpRequest::connect()
{
    pf::UrlRequest request(serializeURL(m_url, m_params, m_method), kTimeout);
    request.setMethod(m_method);
    request.setMaximumResponseSize(kMaximumReplySize);
    if (m_method == "POST") {
        bool hasRawData = false;
        request.setBody(postBodyHasRawData(&hasRawData));
        if (hasRawData)
            request.setValue(std::string("multipart/form-data; boundary=") + kBoundary, "Content-Type");
    }
    // The running connection holds this request through its callbacks, and the request holds
    // the connection only weakly, so both go when the connection ends or is cancelled.
    auto connection = pf::UrlConnection::create(std::move(request));
    m_connection = connection;
    auto self = shared_from_this();
    connection->didReceiveResponse = [self](const pf::UrlResponse& response) {
        self->m_responseData.clear();
        if (auto d = self->m_delegate.lock())
            d->requestDidReceiveResponse(*self, response);
    };
    connection->didReceiveData = [self](const pf::Bytes& data) {
        self->m_responseData.insert(self->m_responseData.end(), data.begin(), data.end());
    };
    connection->didFinishLoading = [self] { self->connectionDidFinishLoading(); };
    connection->didFailWithError = [self](const pf::UrlError& error) {
        self->failedWithError(error);
        self->finished();
    };
    connection->start();
}

void BPHttpRequest::connectionDidFinishLoading()
{
    pf::Bytes data = std::move(m_responseData);
    handleResponseData(data);
    finished();
}

void BPHttpRequest::handleResponseData(const pf::Bytes& data)
{
    if (auto d = m_delegate.lock())
        d->requestDidFinishLoadingWithDataResult(*this, data);
    std::optional<std::string> text;
    if (BlipText::isUtf8(std::string_view(reinterpret_cast<const char*>(data.data()), data.size())))
        text = std::string(data.begin(), data.end());
    if (auto d = m_delegate.lock())
        d->requestDidFinishLoadingWithResult(*this, text);
}

void BPHttpRequest::failedWithError(const pf::UrlError& error)
{
    if (auto d = m_delegate.lock())
        d->requestDidFailWithError(*this, error);
}

void BPHttpRequest::finished()
{
    m_responseData.clear();
    m_connection.reset();
}

void BPHttpRequest::disconnect()
{
    auto connection = m_connection.lock();
    finished();
    if (connection)
        connection->cancel();
}

}
