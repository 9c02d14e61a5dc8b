#include "tools/peers/LMWebPageService.h"

namespace peers {

std::optional<PeerReply> LMWebPageService::handle(const PeerRequest& request)
{
    if (request.path != kPrefix)
        return std::nullopt;
    // A page with a local storage, as the vendor's browsers give one.
    return PeerReply::bytes("<!DOCTYPE html><html><head><title>LM</title><script>window.localStorage = window.localStorage || {};</script>"
                            "</head><body><p>LM</p></body></html>",
        "text/html; charset=utf-8");
}

}
