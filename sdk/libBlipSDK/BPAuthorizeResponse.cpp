#include "sdk/libBlipSDK/BPAuthorizeResponse.h"

namespace blip {

std::optional<std::string> BPAuthorizeResponse::validate() const
{
    if (!userID)
        return "认证响应中的userID不能为空";
    if (!accessToken)
        return "认证响应中的accessToken不能为空";
    if (!expirationDate)
        return "认证响应中的expirationDate不能为空";
    return std::nullopt;
}

void BPAuthorizeResponse::storeToDictionary(pf::Dictionary& d) const
{
    BPBaseResponse::storeToDictionary(d);
    if (userID)
        d.set("userID", *userID);
    if (accessToken)
        d.set("accessToken", *accessToken);
    if (expirationDate)
        d.set("expirationDate", *expirationDate);
}

void BPAuthorizeResponse::loadFromDictionary(const pf::Dictionary& d)
{
    BPBaseResponse::loadFromDictionary(d);
    userID = textField(d, "userID");
    accessToken = textField(d, "accessToken");
    const pf::Value* date = d.find("expirationDate");
    expirationDate = date ? date->asDate() : std::nullopt;
}

}
