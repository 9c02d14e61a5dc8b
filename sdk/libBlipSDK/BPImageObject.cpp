#include "sdk/libBlipSDK/BPImageObject.h"

#include "platform/graphics/Image.h"

namespace blip {

std::shared_ptr<pf::Image> BPImageObject::image() const
{
    return imageData ? pf::Image::decode(*imageData) : nullptr;
}

std::optional<std::string> BPImageObject::validate() const
{
    if (!imageData || imageData->empty() || imageData->size() > kMaxImageBytes)
        return "消息的图片内容中，图片数据不能为空并且大小不能超过10M";
    return std::nullopt;
}

pf::Dictionary BPImageObject::dictionaryWithImageObject(const BPImageObject& object)
{
    return pf::Dictionary { { "imageData", object.imageData.value_or(pf::Bytes {}) } };
}

std::shared_ptr<BPImageObject> BPImageObject::imageObjectWithDictionary(const pf::Dictionary& dictionary)
{
    const pf::Value* data = dictionary.find("imageData");
    if (!data || !data->asData())
        return nullptr;
    auto object = BPImageObject::object();
    object->imageData = *data->asData();
    return object;
}

}
