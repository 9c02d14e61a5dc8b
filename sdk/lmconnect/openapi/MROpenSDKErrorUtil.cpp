#include "sdk/lmconnect/openapi/MROpenSDKErrorUtil.h"

#include <array>

namespace {

// Indexed by a server "ret" minus 100000.
constexpr std::array<int, 32> kCGICommonErrorMapTable = [] {
    std::array<int, 32> table {};
    for (auto& entry : table)
        entry = MROpenSDKErrorUtil::Param;
    for (int ret : { 14, 15, 23, 24, 25, 26, 27, 30 })
        table[ret] = MROpenSDKErrorUtil::ReLogin;
    table[31] = MROpenSDKErrorUtil::OperationDeny;
    return table;
}();

bool inRange(int code, int low, int high)
{
    return code >= low && code <= high;
}

}

std::optional<std::string> MROpenSDKErrorUtil::openSDKErrorMsgForErrorCode(int code)
{
    switch (code) {
    case UnsupportedAPI: return "不支持的接口";
    case Success: return "操作成功";
    case Unknown: return "未知错误";
    case UserCancel: return "用户取消";
    case ReLogin: return "请重新登录";
    case OperationDeny: return "应用没有操作权限";
    case Network: return "网络异常或没有网络";
    case URL: return "URL格式或协议错误";
    case DataParse: return "解析数据出错";
    case Param: return "传入参数有误";
    case Timeout: return "连接超时";
    case Security: return "安全问题";
    case IO: return "文件读写错误";
    case Server: return "服务器端错误";
    case WebPage: return "页面错误";
    case UserHeadPicLarge: return "设置头像图片过大, 需要小于(3264 * 2448)";
    default: return std::nullopt;
    }
}

pf::Dictionary MROpenSDKErrorUtil::openSDKErrorWithCode(int code, const pf::Value& extraInfo)
{
    auto message = openSDKErrorMsgForErrorCode(code);
    if (!message) {
        code = Unknown;
        message = openSDKErrorMsgForErrorCode(code);
    }
    pf::Dictionary error { { kKeyRetCode, code }, { kKeyMsg, *message } };
    if (!extraInfo.isNone())
        error.set(kKeyExtraInfo, extraInfo);
    return error;
}

pf::Dictionary MROpenSDKErrorUtil::openSDKErrorWithCommonServerCode(int serverCode, const pf::Value& extraInfo)
{
    int code = Param;
    if (serverCode == 0)
        code = Success;
    else if (inRange(serverCode, 100000, 100031))
        code = kCGICommonErrorMapTable[static_cast<size_t>(serverCode - 100000)];
    return openSDKErrorWithCode(code, extraInfo);
}

pf::Dictionary MROpenSDKErrorUtil::openSDKErrorFromOSError(const MorrowError& error)
{
    int code = error.domain == pf::UrlError::kDomain ? filterURLErrorCode(error.code) : Unknown;
    return openSDKErrorWithCode(code, error.userInfo);
}

int MROpenSDKErrorUtil::filterURLErrorCode(int c)
{
    if (c == -1000 || c == -1002)
        return URL;
    if (c == -1001)
        return Timeout;
    if (inRange(c, -1006, -1003) || c == -1009 || inRange(c, -1020, -1018))
        return Network;
    if (c == -1007 || c == -1010 || c == -1011 || c == -1014)
        return Server;
    if (c == -1008 || c == -1021 || inRange(c, -1103, -1100) || inRange(c, -3007, -3000))
        return IO;
    if (c == -1012 || c == -1013 || inRange(c, -1206, -1200) || c == -2000)
        return Security;
    if (inRange(c, -1017, -1015))
        return DataParse;
    return Unknown;
}

std::shared_ptr<APIResponse> MROpenSDKErrorUtil::apiResponse(const pf::Value& error)
{
    if (!error.isDictionary())
        return nullptr;
    auto response = std::make_shared<APIResponse>();
    const pf::Value& ret = error[kKeyRetCode];
    if (ret.isNumber()) {
        response->detailRetCode = ret.intValue();
        const std::string* message = error[kKeyMsg].asString();
        response->errorMsg = message ? *message : std::string();
    } else {
        response->detailRetCode = Unknown;
        response->errorMsg = *openSDKErrorMsgForErrorCode(Unknown);
    }
    return response;
}

std::shared_ptr<APIResponse> MROpenSDKErrorUtil::apiResponseFromErrorCode(int code)
{
    return apiResponse(openSDKErrorWithCode(code));
}

void MROpenSDKErrorUtil::apiResponseConvert(APIResponse& response)
{
    std::shared_ptr<APIResponse> converted;
    const pf::Value& ret = response.jsonResponse[kKeyRetCode];
    if (response.jsonResponse.isDictionary() && ret.isNumber())
        converted = apiResponse(openSDKErrorWithCommonServerCode(ret.intValue()));
    response.detailRetCode = converted ? converted->detailRetCode : 0;
    response.errorMsg = converted ? converted->errorMsg : std::string();
}
