#pragma once

#include "platform/foundation/HttpCookie.h"

#include <mutex>
#include <string>
#include <vector>

namespace pf {

// The process's shared cookie jar. URL loading sends the matching cookies with each request
// and stores what replies set. Thread-safe. Expiry is judged on the main run loop's clock.
//
// Rules:
// - A cookie is identified by name, domain and path; setting it again replaces it.
// - A cookie that has expired is dropped when next looked at; setting one with a past expiry
//   deletes the stored one.
// - Secure cookies go only to https addresses.
class CookieStorage {
public:
    static CookieStorage& shared();

    void setCookie(HttpCookie cookie);
    void deleteCookie(const std::string& name, const std::string& domain, const std::string& path = "/");
    // Every cookie that would be sent to `host`.
    void deleteCookiesForHost(const std::string& host);
    void removeAll();

    std::vector<HttpCookie> cookies() const;
    std::vector<HttpCookie> cookiesForUrl(const std::string& url) const;
    // "a=1; b=2" for the cookies of `url`, longest path first; empty when none.
    std::string cookieHeaderForUrl(const std::string& url) const;
    // Stores the "Set-Cookie" values of a reply from `url`.
    void storeSetCookieHeaders(const std::vector<std::string>& values, const std::string& url);

private:
    void dropExpired(double now) const; // with m_mutex held

    mutable std::mutex m_mutex;
    mutable std::vector<HttpCookie> m_cookies;
};

}
