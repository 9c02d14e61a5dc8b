#include "tools/peers/BlipService.h"

#include <mutex>

namespace peers {

namespace {

std::map<std::string, std::string> queryOf(const PeerRequest& request)
{
    std::map<std::string, std::string> fields;
    size_t start = 0;
    const std::string& q = request.query;
    while (start < q.size()) {
        size_t end = q.find('&', start);
        if (end == std::string::npos)
            end = q.size();
        std::string name = q.substr(start, q.find('=', start) < end ? q.find('=', start) - start : end - start);
        if (auto value = request.queryValue(name); value && !fields.count(name))
            fields[name] = *value;
        start = end + 1;
    }
    return fields;
}

std::string html(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

}

void BlipService::setGrant(Grant grant)
{
    std::lock_guard lock(m_mutex);
    m_grant = std::move(grant);
}

std::vector<BlipService::Call> BlipService::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

std::optional<PeerReply> BlipService::handle(const PeerRequest& request)
{
    auto query = queryOf(request);
    std::lock_guard lock(m_mutex);
    m_calls.push_back({ request.path, query, request.body, request.header("Cookie").value_or("") });
    if (request.path == "/blip/oauth2/authorize" && request.method == "GET")
        return authorizePage(request, query);
    bool revoke = request.path == "/blip/oauth2/revokeoauth2" && request.method == "GET";
    bool invite = request.path == "/blip/2/messages/invite.json" && request.method == "POST";
    if (!revoke && !invite)
        return std::nullopt;
    if (!query.count("access_token") || query["access_token"].empty())
        return PeerReply::json(R"({"error":"invalid_access_token","error_code":21332})", 401);
    if (revoke)
        return PeerReply::json(R"({"result":"true"})");
    if (!query.count("uid"))
        return PeerReply::json(R"({"error":"miss uid","error_code":10016})", 400);
    return PeerReply::json(R"({"result":true,"uid":")" + query["uid"] + R"("})");
}

PeerReply BlipService::authorizePage(const PeerRequest&, const std::map<std::string, std::string>& query)
{
    auto value = [&](const char* name) {
        auto found = query.find(name);
        return found == query.end() ? std::string() : found->second;
    };
    std::vector<std::string> problems;
    if (value("response_type") != "code")
        problems.push_back("response_type");
    if (value("display") != "mobile")
        problems.push_back("display");
    if (value("client_id").empty())
        problems.push_back("client_id");
    if (value("redirect_uri").empty())
        problems.push_back("redirect_uri");
    if (value("key_hash") != kHashKey)
        problems.push_back("key_hash");
    if (!problems.empty()) {
        std::string names;
        for (const auto& p : problems)
            names += (names.empty() ? "" : ", ") + p;
        return PeerReply::bytes("<html><body><p id=\"error\">invalid parameters: " + html(names) + "</p></body></html>",
            "text/html; charset=utf-8", 400);
    }
    std::string redirect = value("redirect_uri");
    std::string allow = redirect + "#access_token=" + m_grant.accessToken + "&expires_in="
        + std::to_string(m_grant.expiresIn) + "&remind_in=" + std::to_string(m_grant.expiresIn) + "&uid=" + m_grant.uid;
    std::string deny = redirect + "#error=access_denied&error_code=21330&error_description=user%20denied";
    PeerReply reply = PeerReply::bytes("<html><head><title>授权</title></head><body><p>" + html(value("client_id"))
            + " 请求访问你的账号</p><a id=\"allow\" href=\"" + html(allow) + "\">允许</a> <a id=\"deny\" href=\""
            + html(deny) + "\">拒绝</a></body></html>",
        "text/html; charset=utf-8");
    reply.headers.emplace_back("Set-Cookie", "blip_session=s" + std::to_string(++m_sessions) + "; Path=/");
    return reply;
}

}
