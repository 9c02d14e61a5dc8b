#include "sdk/libBlipSDK/BPVideoObject.h"

namespace blip {

std::optional<std::string> BPVideoObject::validate() const
{
    if (auto message = BPBaseMediaObject::validate())
        return message;
    if (!fits(videoUrl, 255, true))
        return "Video多媒体内容的videoUrl不能为空并且长度不能超过255";
    if (!fits(videoLowBandUrl, 255, false))
        return "Video多媒体内容的videoLowBandUrl长度不能超过255";
    if (!fits(videoStreamUrl, 255, false))
        return "Video多媒体内容的videoStreamUrl长度不能超过255";
    if (!fits(videoLowBandStreamUrl, 255, false))
        return "Video多媒体内容的videoLowBandStreamUrl长度不能超过255";
    return std::nullopt;
}

void BPVideoObject::storeToDictionary(pf::Dictionary& d) const
{
    BPBaseMediaObject::storeToDictionary(d);
    put(d, "videoUrl", videoUrl);
    put(d, "videoLowBandUrl", videoLowBandUrl);
    put(d, "videoStreamUrl", videoStreamUrl);
    put(d, "videoLowBandStreamUrl", videoLowBandStreamUrl);
}

void BPVideoObject::loadFromDictionary(const pf::Dictionary& d)
{
    BPBaseMediaObject::loadFromDictionary(d);
    videoUrl = text(d, "videoUrl");
    videoLowBandUrl = text(d, "videoLowBandUrl");
    videoStreamUrl = text(d, "videoStreamUrl");
    videoLowBandStreamUrl = text(d, "videoLowBandStreamUrl");
}

}
