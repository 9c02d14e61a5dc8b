#include "platform/foundation/UrlResponse.h"

#include "platform/foundation/AsciiText.h"
#include "platform/foundation/UrlRequest.h"

#include <algorithm>

namespace pf {

std::optional<std::string> UrlResponse::valueForHeader(std::string_view name) const
{
    std::optional<std::string> out;
    for (const auto& [key, value] : m_headers) {
        if (!equalsIgnoringCase(key, name))
            continue;
        if (out)
            *out += ", " + value;
        else
            out = value;
    }
    return out;
}

Dictionary UrlResponse::allHeaderFields() const
{
    Dictionary out;
    for (const auto& [key, value] : m_headers) {
        bool seen = false;
        for (const auto& existing : out.keys())
            seen = seen || equalsIgnoringCase(existing, key);
        if (!seen)
            out.set(key, *valueForHeader(key));
    }
    return out;
}

std::int64_t UrlResponse::expectedContentLength() const
{
    auto value = valueForHeader("Content-Length");
    if (!value || value->empty() || !std::all_of(value->begin(), value->end(), [](char c) { return c >= '0' && c <= '9'; }) || value->size() > 18)
        return -1;
    return std::stoll(*value);
}

std::string UrlResponse::mimeType() const
{
    auto type = valueForHeader("Content-Type");
    if (!type)
        return {};
    return AsciiText::lowercased(AsciiText::trimmed(std::string_view(*type).substr(0, type->find(';'))));
}

std::string UrlResponse::textEncodingName() const
{
    auto type = valueForHeader("Content-Type");
    if (!type)
        return {};
    std::string lowered = AsciiText::lowercased(*type);
    size_t at = lowered.find("charset=");
    if (at == std::string::npos)
        return {};
    std::string value(AsciiText::trimmed(std::string_view(lowered).substr(at + 8)));
    value = value.substr(0, value.find(';'));
    value.erase(std::remove(value.begin(), value.end(), '"'), value.end());
    return std::string(AsciiText::trimmed(value));
}

}
