#include "tools/peers/LMReportService.h"

namespace peers {

std::optional<PeerReply> LMReportService::handle(const PeerRequest& request)
{
    if (request.path != std::string(kPrefix) + "report")
        return std::nullopt;
    return PeerReply::bytes("", "text/plain");
}

}
