#include "tools/peers/LMOpenApiService.h"

#include <nlohmann/json.hpp>
#include <openssl/evp.h>

#include <cctype>
#include <cstdio>

namespace peers {

namespace {

std::string md5UpperHex(const std::string& text)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
    std::string out;
    char buffer[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(buffer, sizeof buffer, "%02X", digest[i]);
        out += buffer;
    }
    return out;
}

// A form body's value, or the query's.
std::optional<std::string> field(const PeerRequest& request, const std::string& name)
{
    if (auto value = request.queryValue(name))
        return value;
    PeerRequest body;
    body.query = request.body;
    if (auto value = body.queryValue(name))
        return value;
    for (const auto& part : request.parts) {
        if (part.name == name && part.filename.empty())
            return part.data;
    }
    return std::nullopt;
}

// A query value's escape for an address written into the page.
std::string escaped(const std::string& text)
{
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// The sign-in page: one button per way a person can end it. Each loads its address.
std::string authorizePage(const std::string& base, const PeerRequest& request)
{
    std::string appId = request.queryValue("client_id").value_or("");
    std::string redirect = request.queryValue("redirect_uri").value_or("");
    std::string token = LMOpenApiService::webTokenFor(appId);
    std::string openId = LMOpenApiService::openIdForToken(token);
    std::string grant = redirect + "#access_token=" + token + "&expires_in=" + std::to_string(LMOpenApiService::kWebLifetime);
    nlohmann::json targets = {
        { "approve", grant + "&openid=" + openId },
        { "approveWithoutOpenId", grant },
        { "deny", redirect + "#error=access_denied" },
        { "cancel", "morrow" + appId + "://cancel" },
        { "browser", "auth://browser?fall_to_wv=1&redir=" + escaped(base + "oauth2.0/browser_error") },
        { "broken", base + "oauth2.0/m_broken" },
    };
    return "<!DOCTYPE html><html><head><title>LM 登录</title><script>var targets = " + targets.dump()
        + ";</script></head><body><p>" + appId + "</p>"
        + "<button onclick=\"location.href = targets.approve\">同意</button>"
        + "<button onclick=\"location.href = targets.approveWithoutOpenId\">同意（不带身份）</button>"
        + "<button onclick=\"location.href = targets.deny\">拒绝</button>"
        + "<button onclick=\"location.href = targets.cancel\">取消</button>"
        + "<button onclick=\"location.href = targets.browser\">浏览器登录</button>"
        + "<button onclick=\"location.href = targets.broken\">出错</button>"
        + "<button onclick=\"location.reload()\">刷新</button>"
        + "</body></html>";
}

}

std::string LMOpenApiService::webTokenFor(const std::string& appId)
{
    return "WEBTOKEN" + appId;
}

std::string LMOpenApiService::openIdForToken(const std::string& token)
{
    return "OPENID" + md5UpperHex(token);
}

std::optional<PeerReply> LMOpenApiService::handle(const PeerRequest& request)
{
    std::string path = request.path.substr(prefix().size());
    auto token = field(request, "access_token");
    if (path == "oauth2.0/m_me") {
        nlohmann::json body;
        if (token && !token->empty()) {
            body["client_id"] = field(request, "oauth_consumer_key").value_or("");
            body["openid"] = openIdForToken(*token);
        } else {
            body["error"] = 100016;
            body["error_description"] = "access token check failed";
        }
        return PeerReply::bytes("callback( " + body.dump() + " );", "application/javascript");
    }
    if (path == "user/user_login_statis") {
        nlohmann::json body;
        auto encrytoken = field(request, "encrytoken");
        if (!token || token->empty() || !encrytoken || encrytoken->size() != 32)
            body = { { "ret", 100016 }, { "msg", "access token check failed" } };
        else
            body = { { "ret", 0 }, { "msg", "" } };
        return PeerReply::bytes("_Callback(" + body.dump() + ");", "application/javascript");
    }
    if (path == "oauth2.0/m_authorize")
        return PeerReply::bytes(authorizePage(baseURL(), request), "text/html; charset=utf-8");
    if (path == "oauth2.0/browser_error")
        return PeerReply::bytes("<html><head><title>浏览器出错</title></head><body><p>浏览器出错</p></body></html>", "text/html; charset=utf-8");
    if (path == "oauth2.0/m_broken") {
        PeerReply reply;
        reply.dropConnection = true;
        return reply;
    }
    if (path == "user/set_user_face") {
        bool picture = false;
        for (const auto& part : request.parts)
            picture = picture || (part.name == "picture" && !part.data.empty());
        nlohmann::json body;
        if (!token || token->empty())
            body = { { "ret", 100016 }, { "msg", "access token check failed" } };
        else if (!picture)
            body = { { "ret", 100001 }, { "msg", "no picture" } };
        else
            body = { { "ret", 0 }, { "msg", "" } };
        return PeerReply::json(body.dump());
    }
    if (path == "user/get_user_info") {
        nlohmann::json body;
        if (!token || token->empty() || field(request, "openid") != openIdForToken(*token)) {
            body = { { "ret", 100016 }, { "msg", "access token check failed" } };
        } else {
            body = { { "ret", 0 }, { "msg", "" }, { "nickname", kNickname }, { "gender", "男" },
                { "figureurl", baseURL() + "figure/40.png" } };
        }
        return PeerReply::json(body.dump());
    }
    return std::nullopt;
}

}
