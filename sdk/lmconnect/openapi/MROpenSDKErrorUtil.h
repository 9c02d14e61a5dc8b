#pragma once

#include "sdk/lmconnect/openapi/APIResponse.h"
#include "sdk/lmconnect/openapi/MorrowError.h"

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>

// The client's error codes with their messages, and the maps onto them from a server's "ret"
// and from the platform's URL errors.
//
// An error dictionary holds "ret" (the code), "msg" (its text) and, when given,
// "MROpenSDKErrorExtraInfoKey". A code without a text is reported as 1, "未知错误".
class MROpenSDKErrorUtil {
public:
    static constexpr const char* kKeyRetCode = "ret";
    static constexpr const char* kKeyMsg = "msg";
    static constexpr const char* kKeyExtraInfo = "MROpenSDKErrorExtraInfoKey";

    enum Code {
        UnsupportedAPI = -2,
        Success = 0,
        Unknown = 1,
        UserCancel = 2,
        ReLogin = 3,
        OperationDeny = 4,
        Network = 5,
        URL = 6,
        DataParse = 7,
        Param = 8,
        Timeout = 9,
        Security = 10,
        IO = 11,
        Server = 12,
        WebPage = 13,
        UserHeadPicLarge = 0x10000,
    };

    static std::optional<std::string> openSDKErrorMsgForErrorCode(int code);
    static pf::Dictionary openSDKErrorWithCode(int code, const pf::Value& extraInfo = pf::Value());
    // 0 gives 0; 100000-100031 go through the server table; anything else is 8.
    static pf::Dictionary openSDKErrorWithCommonServerCode(int serverCode, const pf::Value& extraInfo = pf::Value());
    // URL errors through `filterURLErrorCode`, every other error 1; the error's information is
    // the extra information.
    static pf::Dictionary openSDKErrorFromOSError(const MorrowError& error);
    static int filterURLErrorCode(int urlErrorCode);

    // A response carrying the error dictionary's code and text (`retCode` stays 0); none when
    // the value is no dictionary.
    static std::shared_ptr<APIResponse> apiResponse(const pf::Value& error);
    static std::shared_ptr<APIResponse> apiResponseFromErrorCode(int code);
    // Rewrites `detailRetCode` and `errorMsg` from the reply's numeric "ret", if it has one.
    static void apiResponseConvert(APIResponse& response);
};
