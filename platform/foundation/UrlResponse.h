#pragma once

#include "platform/foundation/Value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pf {

// The head of an HTTP reply: where it came from (after redirects), the status and headers.
// Any status, 4xx and 5xx included, is a response, not an error.
class UrlResponse {
public:
    using Header = std::pair<std::string, std::string>;

    UrlResponse() = default;
    UrlResponse(std::string url, int statusCode, std::vector<Header> headers)
        : m_url(std::move(url))
        , m_statusCode(statusCode)
        , m_headers(std::move(headers))
    {
    }

    const std::string& url() const { return m_url; }
    int statusCode() const { return m_statusCode; }
    // Headers in the order received; a repeated header appears once per line.
    const std::vector<Header>& headers() const { return m_headers; }
    // The value of a header (case-insensitive name); repeated headers joined with ", ".
    std::optional<std::string> valueForHeader(std::string_view name) const;
    // Every header by name, repeated ones joined with ", ".
    Dictionary allHeaderFields() const;
    // -1 when the reply did not say.
    std::int64_t expectedContentLength() const;
    // "text/html" of "text/html; charset=utf-8" (lower case), empty when none.
    std::string mimeType() const;
    // "utf-8" of the same, empty when none.
    std::string textEncodingName() const;

private:
    std::string m_url;
    int m_statusCode { 0 };
    std::vector<Header> m_headers;
};

}
