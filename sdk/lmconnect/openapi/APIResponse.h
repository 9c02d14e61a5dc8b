#pragma once

#include "platform/foundation/Value.h"

#include <cstdint>
#include <string>

// The result of one Open API call.
//
// `retCode` is 0 when the exchange worked and the reply was a non-empty JSON object, else 1.
// `detailRetCode` and `errorMsg` carry a client error code and its text once a reply's "ret"
// is converted (MROpenSDKErrorUtil); `jsonResponse` is the reply object, `message` the whole
// reply as text and `userData` the caller's value, handed back untouched.
struct APIResponse {
    std::int32_t detailRetCode { 0 };
    std::int32_t retCode { 0 };
    std::int32_t seq { 0 };
    std::string errorMsg;
    pf::Value jsonResponse;
    std::string message;
    pf::Value userData;
};
