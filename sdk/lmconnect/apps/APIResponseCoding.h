#pragma once

#include "sdk/lmconnect/openapi/APIResponse.h"

#include "platform/foundation/ArchiveCoding.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

// An Open API result as the LM and LZone apps hand it back in "response_data".
template <>
struct pf::ArchiveCoding<APIResponse> {
    static std::string_view className() { return "APIResponse"; }
    static void encode(const APIResponse& r, pf::KeyedArchiver& coder)
    {
        coder.encodeInteger("retCode", r.retCode);
        coder.encodeInteger("detailRetCode", r.detailRetCode);
        coder.encodeInteger("seq", r.seq);
        coder.encodeText("errorMsg", r.errorMsg);
        coder.encodeValue("jsonResponse", r.jsonResponse);
        coder.encodeText("message", r.message);
    }
    static std::shared_ptr<APIResponse> decode(pf::KeyedUnarchiver& coder)
    {
        auto r = std::make_shared<APIResponse>();
        r->retCode = std::int32_t(coder.decodeInteger("retCode"));
        r->detailRetCode = std::int32_t(coder.decodeInteger("detailRetCode"));
        r->seq = std::int32_t(coder.decodeInteger("seq"));
        r->errorMsg = coder.decodeText("errorMsg").value_or("");
        r->jsonResponse = coder.decodeValue("jsonResponse");
        r->message = coder.decodeText("message").value_or("");
        return r;
    }
};
