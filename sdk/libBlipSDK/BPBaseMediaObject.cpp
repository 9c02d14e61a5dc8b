#include "sdk/libBlipSDK/BPBaseMediaObject.h"

#include "sdk/libBlipSDK/BPMusicObject.h"
#include "sdk/libBlipSDK/BPVideoObject.h"
#include "sdk/libBlipSDK/BPWebpageObject.h"
#include "sdk/libBlipSDK/BlipText.h"

namespace blip {

std::optional<std::string> BPBaseMediaObject::text(const pf::Dictionary& d, const char* key)
{
    const pf::Value* v = d.find(key);
    return v && v->asString() ? std::optional<std::string>(*v->asString()) : std::nullopt;
}

void BPBaseMediaObject::put(pf::Dictionary& d, const char* key, const std::optional<std::string>& value)
{
    if (value)
        d.set(key, *value);
}

bool BPBaseMediaObject::fits(const std::optional<std::string>& value, size_t max, bool required)
{
    if (!value)
        return !required;
    return BlipText::utf16Length(*value) <= max;
}

std::optional<std::string> BPBaseMediaObject::validate() const
{
    if (className() == "BPBaseMediaObject")
        return "不能直接发送 BPBaseMediaObject 类型的多媒体对象";
    if (!fits(objectID, 255, true))
        return "多媒体对象ID不能为空且长度不能超过255";
    if (!fits(title, 1024, true))
        return "多媒体内容中标题不能为空且长度不能大于1K";
    if (!fits(description, 1024, false))
        return "多媒体内容中描述长度不能大于1K";
    if (thumbnailData && thumbnailData->size() > 32768)
        return "多媒体内容中缩略图大小不能大于32K";
    if (!fits(scheme, 255, false))
        return "多媒体点击打开第三方应用的scheme长度不能大于255";
    return std::nullopt;
}

void BPBaseMediaObject::storeToDictionary(pf::Dictionary& d) const
{
    put(d, "objectID", objectID);
    put(d, "title", title);
    put(d, "description", description);
    if (thumbnailData)
        d.set("thumbnailData", *thumbnailData);
    put(d, "scheme", scheme);
}

void BPBaseMediaObject::loadFromDictionary(const pf::Dictionary& d)
{
    objectID = text(d, "objectID");
    title = text(d, "title");
    description = text(d, "description");
    if (const pf::Value* v = d.find("thumbnailData"); v && v->asData())
        thumbnailData = *v->asData();
    scheme = text(d, "scheme");
}

pf::Dictionary BPBaseMediaObject::dictionaryWithMediaObject(const BPBaseMediaObject& object)
{
    pf::Dictionary d;
    object.storeToDictionary(d);
    d.set("__class", object.className());
    return d;
}

std::shared_ptr<BPBaseMediaObject> BPBaseMediaObject::mappedMediaObjectWithDictionary(const pf::Dictionary& d)
{
    auto name = text(d, "__class");
    std::shared_ptr<BPBaseMediaObject> object;
    if (name == std::optional<std::string>("BPMusicObject"))
        object = std::make_shared<BPMusicObject>();
    else if (name == std::optional<std::string>("BPVideoObject"))
        object = std::make_shared<BPVideoObject>();
    else if (name == std::optional<std::string>("BPWebpageObject"))
        object = std::make_shared<BPWebpageObject>();
    else
        return nullptr;
    object->loadFromDictionary(d);
    return object;
}

}
