#pragma once

#include "sdk/lmconnect/openapi/APIResponse.h"

#include <memory>

class MRAPIRequest;

// Receives the one outcome of a CGI request.
class MRAPIRequestDelegate {
public:
    virtual ~MRAPIRequestDelegate() = default;
    virtual void cgiRequestDidResponse(const std::shared_ptr<MRAPIRequest>& request, const std::shared_ptr<APIResponse>& response) { }
};
