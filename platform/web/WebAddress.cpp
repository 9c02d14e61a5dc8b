#include "platform/web/WebAddress.h"

#include "platform/foundation/Url.h"

#include <cctype>
#include <vector>

namespace pf {

namespace {

    std::string_view trim(std::string_view s)
    {
        while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
            s.remove_prefix(1);
        while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
            s.remove_suffix(1);
        return s;
    }

    size_t schemeLength(std::string_view s)
    {
        if (s.empty() || !std::isalpha(static_cast<unsigned char>(s[0])))
            return 0;
        for (size_t i = 1; i < s.size(); ++i) {
            char c = s[i];
            if (c == ':')
                return i;
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
                return 0;
        }
        return 0;
    }

    struct Parts {
        std::string scheme;    // without ":"
        std::string authority; // without "//"
        bool hasAuthority { false };
        std::string path;
        std::string query; // with "?"
    };

    Parts split(std::string_view s)
    {
        Parts p;
        size_t n = schemeLength(s);
        p.scheme = std::string(s.substr(0, n));
        s.remove_prefix(n ? n + 1 : 0);
        if (s.starts_with("//")) {
            p.hasAuthority = true;
            s.remove_prefix(2);
            size_t end = s.find_first_of("/?#");
            p.authority = std::string(s.substr(0, end));
            s.remove_prefix(end == std::string_view::npos ? s.size() : end);
        }
        size_t hash = s.find('#');
        if (hash != std::string_view::npos)
            s = s.substr(0, hash);
        size_t q = s.find('?');
        p.path = std::string(s.substr(0, q));
        if (q != std::string_view::npos)
            p.query = std::string(s.substr(q));
        return p;
    }

    std::string removeDots(const std::string& path)
    {
        std::vector<std::string> out;
        size_t i = 0;
        bool absolute = path.starts_with("/");
        bool trailing = false;
        while (i <= path.size()) {
            size_t slash = path.find('/', i);
            std::string seg = path.substr(i, slash == std::string::npos ? std::string::npos : slash - i);
            trailing = false;
            if (seg == "..") {
                if (!out.empty())
                    out.pop_back();
                trailing = true;
            } else if (seg == ".") {
                trailing = true;
            } else if (!(seg.empty() && i == 0 && absolute)) {
                out.push_back(seg);
            }
            if (slash == std::string::npos)
                break;
            i = slash + 1;
        }
        std::string result = absolute ? "/" : "";
        for (size_t k = 0; k < out.size(); ++k) {
            if (k)
                result += '/';
            result += out[k];
        }
        if (trailing && !result.ends_with("/"))
            result += '/';
        return result;
    }

}

std::string WebAddress::resolve(std::string_view base, std::string_view reference)
{
    std::string_view ref = trim(reference);
    if (schemeLength(ref))
        return std::string(ref);
    Parts b = split(base);
    if (!b.hasAuthority || b.scheme.empty())
        return std::string(ref);
    std::string origin = b.scheme + "://" + b.authority;
    if (ref.starts_with("//"))
        return b.scheme + ":" + std::string(ref);
    std::string fragment;
    size_t hash = ref.find('#');
    if (hash != std::string_view::npos) {
        fragment = std::string(ref.substr(hash));
        ref = ref.substr(0, hash);
    }
    std::string path = b.path.empty() ? "/" : b.path;
    if (ref.empty())
        return origin + path + b.query + fragment;
    if (ref.starts_with("?"))
        return origin + path + std::string(ref) + fragment;
    size_t q = ref.find('?');
    std::string refPath(ref.substr(0, q));
    std::string refQuery = q == std::string_view::npos ? "" : std::string(ref.substr(q));
    std::string merged;
    if (refPath.starts_with("/"))
        merged = refPath;
    else
        merged = path.substr(0, path.rfind('/') + 1) + refPath;
    return origin + removeDots(merged) + refQuery + fragment;
}

std::string WebAddress::scheme(std::string_view address)
{
    address = trim(address);
    std::string s(address.substr(0, schemeLength(address)));
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool WebAddress::isRemote(std::string_view address)
{
    std::string s = scheme(address);
    return s == "http" || s == "https";
}

bool WebAddress::sameOrigin(std::string_view a, std::string_view b)
{
    auto ua = Url::fromString(a);
    auto ub = Url::fromString(b);
    if (!ua || !ub)
        return false;
    auto lower = [](std::string s) {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    return lower(ua->scheme()) == lower(ub->scheme()) && lower(ua->host()) == lower(ub->host()) && ua->port() == ub->port();
}

std::string WebAddress::formEncode(std::string_view text)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '*' || c == '-' || c == '.' || c == '_') {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    return out;
}

}
