#include "tools/peers/LMConnectCgiService.h"

#include <nlohmann/json.hpp>

namespace peers {

std::optional<PeerReply> LMConnectCgiService::handle(const PeerRequest& request)
{
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
