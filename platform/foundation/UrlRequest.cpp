#include "platform/foundation/UrlRequest.h"

#include <algorithm>
#include <cctype>

namespace pf {

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::optional<std::string> UrlRequest::valueForHeader(std::string_view name) const
{
    for (const auto& [key, value] : m_headers)
        if (equalsIgnoringCase(key, name))
            return value;
    return std::nullopt;
}

void UrlRequest::setValue(std::string value, std::string name)
{
    for (auto& header : m_headers) {
        if (equalsIgnoringCase(header.first, name)) {
            header.second = std::move(value);
            return;
        }
    }
    m_headers.emplace_back(std::move(name), std::move(value));
}

void UrlRequest::addValue(const std::string& value, std::string name)
{
    for (auto& header : m_headers) {
        if (equalsIgnoringCase(header.first, name)) {
            header.second += ", " + value;
            return;
        }
    }
    m_headers.emplace_back(std::move(name), value);
}

void UrlRequest::removeHeader(std::string_view name)
{
    m_headers.erase(std::remove_if(m_headers.begin(), m_headers.end(), [&](const Header& h) { return equalsIgnoringCase(h.first, name); }),
        m_headers.end());
}

}
