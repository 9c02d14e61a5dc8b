#include "sdk/lmconnect/openapi/MorrowRequest.h"

#include "platform/foundation/Json.h"
#include "platform/foundation/TextEncoding.h"
#include "platform/foundation/Url.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/foundation/UrlRequest.h"
#include "platform/graphics/Image.h"

namespace {

void append(pf::Bytes& body, std::string_view text)
{
    MorrowRequest::utfAppendBodyData(body, text);
}

pf::Bytes fileBytes(const MorrowParam& param)
{
    if (param.image)
        return param.image->jpegData(MorrowRequest::kJpegQuality);
    if (const pf::Bytes* data = param.value.asData())
        return *data;
    return {};
}

std::string pairsOf(const MorrowParams& params)
{
    std::string out;
    bool first = true;
    for (auto& [key, value] : params) {
        if (value.isFile())
            continue;
        if (!first)
            out += '&';
        first = false;
        out += key;
        out += '=';
        out += MorrowRequest::escapeValue(value.text());
    }
    return out;
}

}

void MorrowRequest::utfAppendBodyData(pf::Bytes& body, std::string_view text)
{
    body.insert(body.end(), text.begin(), text.end());
}

std::shared_ptr<MorrowRequest> MorrowRequest::getRequestWithParams(MorrowParams params, std::string httpMethod,
    std::weak_ptr<MorrowRequestDelegate> delegate, std::string requestURL)
{
    auto request = std::shared_ptr<MorrowRequest>(new MorrowRequest());
    request->m_params = std::move(params);
    request->m_httpMethod = std::move(httpMethod);
    request->m_delegate = std::move(delegate);
    request->m_url = std::move(requestURL);
    return request;
}

MorrowRequest::~MorrowRequest()
{
    if (m_connection)
        m_connection->cancel();
}

std::string MorrowRequest::escapeValue(std::string_view text)
{
    return pf::Url::escape(text, kEscapedCharacters);
}

std::string MorrowRequest::serializeURL(const std::string& url, const MorrowParams& params, const std::string& httpMethod)
{
    const char* separator = url.find('?') == std::string::npos ? "?" : "&";
    return url + separator + pairsOf(params);
}

std::string MorrowRequest::generateOtherPostBody() const
{
    return pairsOf(m_params);
}

pf::Bytes MorrowRequest::generatePostBody() const
{
    const std::string separator = std::string("\r\n--") + kBoundary + "\r\n";
    pf::Bytes body;
    append(body, std::string("--") + kBoundary + "\r\n");
    bool firstPart = true;
    std::string fileName;
    std::vector<const MorrowParams::Entry*> files;
    for (auto& entry : m_params) {
        auto& [key, value] = entry;
        if (value.isFile()) {
            files.push_back(&entry);
            continue;
        }
        if (key == kFileNameKey && value.value.isString()) {
            fileName = *value.value.asString();
            continue;
        }
        if (!firstPart)
            append(body, separator);
        firstPart = false;
        append(body, "Content-Disposition: form-data; name=\"" + key + "\"\r\n\r\n");
        append(body, value.text());
    }
    if (fileName.empty())
        fileName = kDefaultFileName;
    for (auto* entry : files) {
        if (!firstPart)
            append(body, separator);
        firstPart = false;
        append(body, "Content-Disposition: form-data; name=\"" + entry->first + "\"; filename=\"" + fileName + "\"\r\n");
        append(body, "Content-Type: image/jpeg\r\n\r\n");
        pf::Bytes bytes = fileBytes(entry->second);
        body.insert(body.end(), bytes.begin(), bytes.end());
    }
    append(body, std::string("\r\n--") + kBoundary + "--\r\n");
    return body;
}

pf::UrlRequest MorrowRequest::makeUrlRequest() const
{
    std::string address = m_url;
    if (m_httpMethod == "GET")
        address = serializeURL(m_url, m_params, m_httpMethod);
    pf::UrlRequest request(address, kTimeout);
    request.setMaximumResponseSize(m_maxResponseSize);
    request.setValue(kUserAgent, "User-Agent");
    request.setMethod(m_httpMethod);
    auto skey = m_params.textFor("skey");
    auto uin = m_params.textFor("uin");
    if (skey && uin && !skey->empty() && !uin->empty())
        request.setValue("_uin=" + *uin + ";_oskey=" + *skey, "Cookie");
    for (auto& [name, value] : m_httpHeaders)
        request.setValue(value, name);
    if (m_httpMethod == "POST") {
        bool multipart = false;
        for (auto& [key, value] : m_params)
            multipart = multipart || value.isFile();
        if (multipart) {
            request.setValue(std::string("multipart/form-data; boundary=") + kBoundary, "Content-Type");
            request.setBody(generatePostBody());
        } else {
            request.setBody(generateOtherPostBody());
        }
    }
    return request;
}

void MorrowRequest::connect()
{
    connectWithRequest(makeUrlRequest());
}

void MorrowRequest::connectWithRequest(const pf::UrlRequest& urlRequest)
{
    auto self = shared_from_this();
    if (auto delegate = m_delegate.lock())
        delegate->requestLoading(self);
    if (m_connection)
        m_connection->cancel();
    m_connection = pf::UrlConnection::create(urlRequest);
    // The callbacks hold the exchange until it ends; dropping the connection ends the cycle.
    m_connection->didReceiveResponse = [self](const pf::UrlResponse& response) {
        self->m_responseText.clear();
        if (auto delegate = self->m_delegate.lock())
            delegate->requestDidReceiveResponse(self, response);
    };
    m_connection->didReceiveData = [self](const pf::Bytes& bytes) {
        self->m_responseText.insert(self->m_responseText.end(), bytes.begin(), bytes.end());
    };
    m_connection->didSendBodyData = [self](std::int64_t written, std::int64_t total, std::int64_t expected) {
        if (auto delegate = self->m_delegate.lock())
            delegate->requestDidSendBodyData(self, written, total, expected);
    };
    m_connection->didWriteData = [self](std::int64_t written, std::int64_t total, std::int64_t expected) {
        if (auto delegate = self->m_delegate.lock())
            delegate->requestDidWriteData(self, written, total, expected);
    };
    m_connection->didFinishLoading = [self] { self->handleResponseData(); };
    m_connection->didFailWithError = [self](const pf::UrlError& error) { self->failWithError(MorrowError::fromUrlError(error)); };
    m_connection->start();
}

void MorrowRequest::cancel()
{
    if (!m_connection)
        return;
    m_connection->cancel();
    m_connection.reset();
    m_delegate.reset();
}

std::optional<std::string> MorrowRequest::decodeReplyText(const pf::Bytes& data)
{
    if (pf::TextEncoding::isValidUtf8(data))
        return std::string(data.begin(), data.end());
    return pf::TextEncoding::decodeGB18030(data);
}

MorrowRequest::ParsedReply MorrowRequest::parseJsonResponse(const pf::Bytes& data)
{
    ParsedReply reply;
    auto text = decodeReplyText(data);
    if (!text)
        return reply;
    if (*text == "true") {
        reply.result = pf::Dictionary { { "result", "true" } };
        return reply;
    }
    if (*text == "false") {
        reply.error = MorrowError::formError(MorrowError::kReplyRefused,
            pf::Dictionary { { "error_msg", "This operation can not be completed" } });
        return reply;
    }
    auto value = pf::Json::parse(*text);
    if (!value)
        return reply;
    if (value->isDictionary()) {
        if (value->asDictionary()->contains("error")) {
            reply.error = MorrowError::formError(MorrowError::kReplyRefused, *value);
            return reply;
        }
        if (const pf::Value* code = value->asDictionary()->find("error_code")) {
            reply.error = MorrowError::formError(code->intValue(), *value);
            return reply;
        }
        if (value->asDictionary()->contains("error_msg") || value->asDictionary()->contains("error_reason"))
            reply.error = MorrowError::formError(MorrowError::kReplyRefused, *value);
    }
    reply.result = std::move(*value);
    return reply;
}

void MorrowRequest::handleResponseData()
{
    auto self = shared_from_this();
    m_connection.reset();
    pf::Bytes data = std::move(m_responseText);
    m_responseText.clear();
    auto delegate = m_delegate.lock();
    if (!delegate)
        return;
    delegate->requestDidLoadRawResponse(self, data);
    ParsedReply parsed = parseJsonResponse(data);
    if (parsed.error)
        delegate->requestDidFailWithError(self, *parsed.error);
    else
        delegate->requestDidLoad(self, parsed.result, data);
}

void MorrowRequest::failWithError(const MorrowError& error)
{
    auto self = shared_from_this();
    m_connection.reset();
    m_responseText.clear();
    if (auto delegate = m_delegate.lock())
        delegate->requestDidFailWithError(self, error);
}
