#include "tools/peers/LMPresenceService.h"

namespace peers {

void LMPresenceService::setOnline(const std::string& uin, bool online)
{
    std::lock_guard lock(m_mutex);
    if (online)
        m_online.insert(uin);
    else
        m_online.erase(uin);
}

std::optional<PeerReply> LMPresenceService::handle(const PeerRequest& request)
{
    if (request.path != std::string(kPrefix) + "getonline" || request.query.rfind("Type=1&", 0) != 0)
        return std::nullopt;
    std::string numbers = request.query.substr(7);
    std::string body;
    std::lock_guard lock(m_mutex);
    size_t start = 0;
    for (size_t end; (end = numbers.find(':', start)) != std::string::npos; start = end + 1) {
        std::string uin = numbers.substr(start, end - start);
        std::string shown = uin.size() >= 10 ? uin.substr(uin.size() - 10) : std::string(10 - uin.size(), '0') + uin;
        body += shown + (m_online.count(uin) ? "1" : "0") + ";";
    }
    return PeerReply::bytes(body, "text/plain; charset=utf-8");
}

}
