#include "sdk/libBlipSDK/BPAuthorizeRequest.h"

#include "sdk/libBlipSDK/BPAuthorizeResponse.h"
#include "sdk/libBlipSDK/BlipText.h"

namespace blip {

std::optional<std::string> BPAuthorizeRequest::validate() const
{
    if (!redirectURI || BlipText::utf16Length(*redirectURI) > 1024)
        return "认证请求中的redirectURI不能为空且长度小于1K";
    if (scope && BlipText::utf16Length(*scope) > 1024)
        return "认证请求中的scope长度小于1K";
    return std::nullopt;
}

void BPAuthorizeRequest::storeToDictionary(pf::Dictionary& d) const
{
    BPBaseRequest::storeToDictionary(d);
    if (redirectURI)
        d.set("redirectURI", *redirectURI);
    if (scope)
        d.set("scope", *scope);
}

void BPAuthorizeRequest::loadFromDictionary(const pf::Dictionary& d)
{
    BPBaseRequest::loadFromDictionary(d);
    redirectURI = textField(d, "redirectURI");
    scope = textField(d, "scope");
}

std::shared_ptr<BPBaseResponse> BPAuthorizeRequest::makeResponse() const
{
    return std::make_shared<BPAuthorizeResponse>();
}

}
