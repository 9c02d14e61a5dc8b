#include "sdk/libBlipSDK/BPWebpageObject.h"

namespace blip {

std::optional<std::string> BPWebpageObject::validate() const
{
    if (auto message = BPBaseMediaObject::validate())
        return message;
    if (!fits(webpageUrl, 255, true))
        return "Webpage多媒体内容的webpageUrl不能为空并且长度不能超过255";
    return std::nullopt;
}

void BPWebpageObject::storeToDictionary(pf::Dictionary& d) const
{
    BPBaseMediaObject::storeToDictionary(d);
    put(d, "webpageUrl", webpageUrl);
}

void BPWebpageObject::loadFromDictionary(const pf::Dictionary& d)
{
    BPBaseMediaObject::loadFromDictionary(d);
    webpageUrl = text(d, "webpageUrl");
}

}
