#include "platform/foundation/HttpCookie.h"

#include "platform/foundation/AsciiText.h"
#include "platform/foundation/Url.h"
#include "platform/foundation/UrlRequest.h"

#include <curl/curl.h>


namespace pf {

namespace {



bool endsWith(std::string_view s, std::string_view suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The folder of a request path, the default path of a cookie set from it.
std::string defaultPath(std::string_view path)
{
    if (path.empty() || path.front() != '/')
        return "/";
    size_t last = path.rfind('/');
    if (last == 0)
        return "/";
    return std::string(path.substr(0, last));
}

}

bool HttpCookie::matchesHost(std::string_view host) const
{
    std::string h = AsciiText::lowercased(host);
    std::string d = AsciiText::lowercased(domain);
    if (!d.empty() && d.front() == '.') {
        std::string bare = d.substr(1);
        return h == bare || endsWith(h, d);
    }
    return h == d;
}

bool HttpCookie::matchesPath(std::string_view requestPath) const
{
    std::string_view p = requestPath.empty() ? std::string_view("/") : requestPath;
    if (path.empty() || p == path)
        return true;
    if (p.substr(0, path.size()) != path)
        return false;
    return path.back() == '/' || p[path.size()] == '/';
}

std::optional<HttpCookie> HttpCookie::fromSetCookie(std::string_view header, const Url& url, double now)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= header.size()) {
        size_t end = header.find(';', start);
        if (end == std::string_view::npos)
            end = header.size();
        parts.push_back(AsciiText::trimmed(header.substr(start, end - start)));
        start = end + 1;
    }
    if (parts.empty())
        return std::nullopt;
    size_t eq = parts[0].find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    HttpCookie cookie;
    cookie.name = std::string(AsciiText::trimmed(parts[0].substr(0, eq)));
    cookie.value = std::string(AsciiText::trimmed(parts[0].substr(eq + 1)));
    if (cookie.name.empty())
        return std::nullopt;
    std::string host = AsciiText::lowercased(url.host());
    cookie.domain = host;
    cookie.path = defaultPath(url.escapedPath());

    std::optional<double> maxAge;
    for (size_t i = 1; i < parts.size(); ++i) {
        std::string_view part = parts[i];
        size_t e = part.find('=');
        std::string key = AsciiText::lowercased(AsciiText::trimmed(part.substr(0, e)));
        std::string_view value = e == std::string_view::npos ? std::string_view() : AsciiText::trimmed(part.substr(e + 1));
        if (key == "domain" && !value.empty()) {
            std::string d = AsciiText::lowercased(value);
            if (d.front() == '.')
                d.erase(0, 1);
            // A host may set cookies for itself or a domain above it, never for another.
            if (d.empty() || !(host == d || endsWith(host, "." + d)))
                return std::nullopt;
            cookie.domain = "." + d;
        } else if (key == "path" && !value.empty() && value.front() == '/') {
            cookie.path = std::string(value);
        } else if (key == "expires" && !maxAge) {
            std::string text(value);
            time_t t = curl_getdate(text.c_str(), nullptr);
            if (t != -1)
                cookie.expires = static_cast<double>(t);
        } else if (key == "max-age") {
            std::string text(value);
            char* endp = nullptr;
            long long seconds = std::strtoll(text.c_str(), &endp, 10);
            if (!text.empty() && endp && *endp == '\0') {
                maxAge = static_cast<double>(seconds);
                cookie.expires = now + *maxAge;
            }
        } else if (key == "secure") {
            cookie.secure = true;
        } else if (key == "httponly") {
            cookie.httpOnly = true;
        } else if (key == "version") {
            cookie.version = static_cast<int>(std::strtol(std::string(value).c_str(), nullptr, 10));
        }
    }
    return cookie;
}

}
