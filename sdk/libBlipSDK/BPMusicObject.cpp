#include "sdk/libBlipSDK/BPMusicObject.h"

namespace blip {

std::optional<std::string> BPMusicObject::validate() const
{
    if (auto message = BPBaseMediaObject::validate())
        return message;
    if (!fits(musicUrl, 255, true))
        return "Music多媒体内容的musicUrl不能为空并且长度不能超过255";
    if (!fits(musicLowBandUrl, 255, false))
        return "Music多媒体内容的musicLowBandUrl长度不能超过255";
    if (!fits(musicStreamUrl, 255, false))
        return "Music多媒体内容的musicStreamUrl长度不能超过255";
    if (!fits(musicLowBandStreamUrl, 255, false))
        return "Music多媒体内容的musicLowBandStreamUrl长度不能超过255";
    return std::nullopt;
}

void BPMusicObject::storeToDictionary(pf::Dictionary& d) const
{
    BPBaseMediaObject::storeToDictionary(d);
    put(d, "musicUrl", musicUrl);
    put(d, "musicLowBandUrl", musicLowBandUrl);
    put(d, "musicStreamUrl", musicStreamUrl);
    put(d, "musicLowBandStreamUrl", musicLowBandStreamUrl);
}

void BPMusicObject::loadFromDictionary(const pf::Dictionary& d)
{
    BPBaseMediaObject::loadFromDictionary(d);
    musicUrl = text(d, "musicUrl");
    musicLowBandUrl = text(d, "musicLowBandUrl");
    musicStreamUrl = text(d, "musicStreamUrl");
    musicLowBandStreamUrl = text(d, "musicLowBandStreamUrl");
}

}
