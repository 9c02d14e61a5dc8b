#pragma once

#include "platform/foundation/Value.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pf {

// One HTTP request: address, method, headers, body, time-out.
//
// Rules:
// - The method is "GET" until set; a request with a body and no "Content-Type" is sent with
//   "application/x-www-form-urlencoded".
// - Header names are matched without regard to case; `setValue` replaces, `addValue` appends
//   to the existing value with ", ".
// - "Content-Length" is always the body's real length; a value set here is not sent.
// - A header whose name or value holds a line break or NUL is not sent (it would split the
//   request).
// - Cookies from the shared cookie storage are added unless `setShouldHandleCookies(false)` or
//   a "Cookie" header is set by hand.
class UrlRequest {
public:
    static constexpr double kDefaultTimeout = 60;
    using Header = std::pair<std::string, std::string>;

    UrlRequest() = default;
    explicit UrlRequest(std::string url, double timeout = kDefaultTimeout)
        : m_url(std::move(url))
        , m_timeout(timeout)
    {
    }

    const std::string& url() const { return m_url; }
    void setUrl(std::string url) { m_url = std::move(url); }

    const std::string& method() const { return m_method; }
    void setMethod(std::string method) { m_method = std::move(method); }

    const std::vector<Header>& headers() const { return m_headers; }
    std::optional<std::string> valueForHeader(std::string_view name) const;
    void setValue(std::string value, std::string name);
    void addValue(const std::string& value, std::string name);
    void removeHeader(std::string_view name);

    const Bytes& body() const { return m_body; }
    void setBody(Bytes body) { m_body = std::move(body); }
    void setBody(std::string_view body) { m_body.assign(body.begin(), body.end()); }

    // Seconds; zero or less means the default.
    double timeout() const { return m_timeout > 0 ? m_timeout : kDefaultTimeout; }
    void setTimeout(double seconds) { m_timeout = seconds; }

    bool shouldHandleCookies() const { return m_handleCookies; }
    void setShouldHandleCookies(bool handle) { m_handleCookies = handle; }

    // A reply body longer than this many bytes fails with DataLengthExceedsMaximum as soon as
    // the excess arrives, never buffered whole. Every request has one: a reader sets what fits
    // what it reads; one that sets none (or 0) gets the default, so a reader that forgot cannot
    // be made to hold a reply of any size.
    static constexpr size_t kDefaultMaximumResponseSize = 4u * 1024 * 1024;
    size_t maximumResponseSize() const { return m_maxResponseSize > 0 ? m_maxResponseSize : kDefaultMaximumResponseSize; }
    void setMaximumResponseSize(size_t bytes) { m_maxResponseSize = bytes; }

    // Whether redirects are followed by the transport (the default). Without, a 3xx reply is
    // handed back as it is, so the caller can decide about every hop itself.
    bool followsRedirects() const { return m_followRedirects; }
    void setFollowsRedirects(bool follow) { m_followRedirects = follow; }

    // Whether the transport offers and undoes the standard content codings (the default).
    // Without, the body arrives as sent, whatever its "Content-Encoding" says, and no
    // "Accept-Encoding" is offered: for protocols that put their own codings in that header.
    bool decodesContent() const { return m_decodesContent; }
    void setDecodesContent(bool decode) { m_decodesContent = decode; }

private:
    std::string m_url;
    std::string m_method { "GET" };
    std::vector<Header> m_headers;
    Bytes m_body;
    double m_timeout { kDefaultTimeout };
    bool m_handleCookies { true };
    size_t m_maxResponseSize { 0 };
    bool m_followRedirects { true };
    bool m_decodesContent { true };
};

// Header-name comparison without regard to case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

}
