#include "platform/foundation/CookieStorage.h"

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Url.h"
#include "platform/foundation/UrlRequest.h"

#include <algorithm>

namespace pf {

namespace {

bool sameCookie(const HttpCookie& a, const HttpCookie& b)
{
    return a.name == b.name && equalsIgnoringCase(a.domain, b.domain) && a.path == b.path;
}

}

CookieStorage& CookieStorage::shared()
{
    static CookieStorage* storage = new CookieStorage(); // used by worker threads until exit
    return *storage;
}

void CookieStorage::dropExpired(double now) const
{
    m_cookies.erase(std::remove_if(m_cookies.begin(), m_cookies.end(), [now](const HttpCookie& c) { return c.expires && *c.expires <= now; }),
        m_cookies.end());
}

void CookieStorage::setCookie(HttpCookie cookie)
{
    if (cookie.name.empty() || cookie.domain.empty())
        return;
    if (cookie.path.empty())
        cookie.path = "/";
    double now = RunLoop::main().now();
    std::lock_guard lock(m_mutex);
    m_cookies.erase(std::remove_if(m_cookies.begin(), m_cookies.end(), [&](const HttpCookie& c) { return sameCookie(c, cookie); }),
        m_cookies.end());
    if (!cookie.expires || *cookie.expires > now)
        m_cookies.push_back(std::move(cookie));
}

void CookieStorage::deleteCookie(const std::string& name, const std::string& domain, const std::string& path)
{
    HttpCookie key;
    key.name = name;
    key.domain = domain;
    key.path = path;
    std::lock_guard lock(m_mutex);
    m_cookies.erase(std::remove_if(m_cookies.begin(), m_cookies.end(), [&](const HttpCookie& c) { return sameCookie(c, key); }),
        m_cookies.end());
}

void CookieStorage::deleteCookiesForHost(const std::string& host)
{
    std::lock_guard lock(m_mutex);
    m_cookies.erase(std::remove_if(m_cookies.begin(), m_cookies.end(), [&](const HttpCookie& c) { return c.matchesHost(host); }),
        m_cookies.end());
}

void CookieStorage::removeAll()
{
    std::lock_guard lock(m_mutex);
    m_cookies.clear();
}

std::vector<HttpCookie> CookieStorage::cookies() const
{
    double now = RunLoop::main().now();
    std::lock_guard lock(m_mutex);
    dropExpired(now);
    return m_cookies;
}

std::vector<HttpCookie> CookieStorage::cookiesForUrl(const std::string& text) const
{
    auto url = Url::fromString(text);
    if (!url || url->host().empty())
        return {};
    bool secure = url->hasScheme("https");
    std::string path = url->escapedPath().empty() ? "/" : url->escapedPath();
    double now = RunLoop::main().now();
    std::vector<HttpCookie> out;
    {
        std::lock_guard lock(m_mutex);
        dropExpired(now);
        for (const auto& c : m_cookies)
            if (c.matchesHost(url->host()) && c.matchesPath(path) && (!c.secure || secure))
                out.push_back(c);
    }
    std::stable_sort(out.begin(), out.end(), [](const HttpCookie& a, const HttpCookie& b) { return a.path.size() > b.path.size(); });
    return out;
}

std::string CookieStorage::cookieHeaderForUrl(const std::string& url) const
{
    std::string header;
    for (const auto& c : cookiesForUrl(url)) {
        if (!header.empty())
            header += "; ";
        header += c.name + "=" + c.value;
    }
    return header;
}

void CookieStorage::storeSetCookieHeaders(const std::vector<std::string>& values, const std::string& text)
{
    auto url = Url::fromString(text);
    if (!url || url->host().empty())
        return;
    double now = RunLoop::main().now();
    for (const auto& value : values)
        if (auto cookie = HttpCookie::fromSetCookie(value, *url, now))
            setCookie(std::move(*cookie));
}

}
