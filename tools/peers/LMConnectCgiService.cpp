#include "tools/peers/LMConnectCgiService.h"

#include <nlohmann/json.hpp>

#include <cstdlib>

namespace peers {

std::vector<std::string> LMConnectCgiService::uploadedPictures() const
{
    std::lock_guard lock(m_mutex);
    return m_uploads;
}

std::optional<PeerReply> LMConnectCgiService::handle(const PeerRequest& request)
{
    const std::string path = request.path.substr(prefix().size());
    if (path == "lmconnectopen/upload_share_image") {
        for (const auto& part : request.parts) {
            if (part.name != "share_image")
                continue;
            std::lock_guard lock(m_mutex);
            m_uploads.push_back(part.data);
            std::string url = baseURL() + "lmconnectopen/shared/" + std::to_string(m_uploads.size() - 1) + ".jpg";
            return PeerReply::json(nlohmann::json { { "ret", 0 }, { "result", { { "url", url } } } }.dump());
        }
        return PeerReply::json(nlohmann::json { { "ret", -1 }, { "msg", "no share_image" } }.dump());
    }
    if (path.rfind("lmconnectopen/shared/", 0) == 0) {
        std::lock_guard lock(m_mutex);
        size_t index = std::strtoul(path.c_str() + 21, nullptr, 10);
        if (index >= m_uploads.size())
            return std::nullopt;
        return PeerReply::bytes(m_uploads[index], "image/jpeg");
    }
    PeerRequest body;
    body.query = request.body;
    auto token = request.queryValue("access_token");
    if (!token)
        token = body.queryValue("access_token");
    nlohmann::json reply;
    if (!token || token->empty())
        reply = { { "ret", 100014 }, { "msg", "token expired" } };
    else
        reply = { { "ret", 0 }, { "msg", "" }, { "cgi", request.path.substr(prefix().size()) } };
    return PeerReply::json(reply.dump());
}

}
