#include "tools/peers/LMOpenApiService.h"

#include <nlohmann/json.hpp>
#include <openssl/evp.h>

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
    return body.queryValue(name);
}

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
