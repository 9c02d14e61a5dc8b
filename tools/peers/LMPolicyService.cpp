#include "tools/peers/LMPolicyService.h"

#include <nlohmann/json.hpp>

namespace peers {

std::optional<PeerReply> LMPolicyService::handle(const PeerRequest& request)
{
    if (request.path != std::string(kPrefix) + "openapi/policy_conf")
        return std::nullopt;
    nlohmann::json reply = { { "ret", 0 }, { "Common_ta_enable", 1 }, { "Common_frequency", 24 } };
    return PeerReply::json(reply.dump());
}

}
