#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pf {

class Url;

// One cookie. A domain that starts with "." matches that domain and every host below it;
// without the dot it matches exactly that host.
struct HttpCookie {
    std::string name;
    std::string value;
    std::string domain;
    std::string path { "/" };
    int version { 0 };
    std::optional<double> expires; // seconds since 1970; none for a session cookie
    bool secure { false };
    bool httpOnly { false };

    bool isSessionOnly() const { return !expires.has_value(); }
    bool matchesHost(std::string_view host) const;
    bool matchesPath(std::string_view path) const;

    // Reads one "Set-Cookie" value received from `url` at time `now`. Nothing when it is
    // malformed or names a domain the URL's host may not set.
    static std::optional<HttpCookie> fromSetCookie(std::string_view header, const Url& url, double now);
};

}
