#include "sdk/libBlipSDK/BPMessageObject.h"

#include "sdk/libBlipSDK/BlipText.h"

namespace blip {

std::optional<std::string> BPMessageObject::validate() const
{
    if (!text && !imageObject && !mediaObject)
        return "消息中文本内容、图片内容和多媒体内容必须至少有一项不能为空";
    if (imageObject && mediaObject)
        return "消息中图片内容和多媒体内容不能共存";
    if (text && BlipText::wordCount(*text) > kMaxTextWords)
        return "消息文本内容长度必须小于140个汉字";
    if (imageObject) {
        if (auto message = imageObject->validate())
            return message;
    }
    if (mediaObject)
        return mediaObject->validate();
    return std::nullopt;
}

pf::Dictionary BPMessageObject::dictionaryWithMessage(const BPMessageObject& message)
{
    pf::Dictionary d;
    if (message.text)
        d.set("text", *message.text);
    if (message.imageObject)
        d.set("imageObject", BPImageObject::dictionaryWithImageObject(*message.imageObject));
    if (message.mediaObject)
        d.set("mediaObject", BPBaseMediaObject::dictionaryWithMediaObject(*message.mediaObject));
    d.set("__class", "BPMessageObject");
    return d;
}

std::shared_ptr<BPMessageObject> BPMessageObject::messageWithDictionary(const pf::Dictionary& d)
{
    const pf::Value* name = d.find("__class");
    if (!name || name->asString() == nullptr || *name->asString() != "BPMessageObject")
        return nullptr;
    if (!d.contains("text") && !d.contains("imageObject") && !d.contains("mediaObject"))
        return nullptr;
    auto message = BPMessageObject::message();
    if (const pf::Value* t = d.find("text"); t && t->asString())
        message->text = *t->asString();
    if (const pf::Value* i = d.find("imageObject"); i && i->asDictionary())
        message->imageObject = BPImageObject::imageObjectWithDictionary(*i->asDictionary());
    if (const pf::Value* m = d.find("mediaObject"); m && m->asDictionary())
        message->mediaObject = BPBaseMediaObject::mappedMediaObjectWithDictionary(*m->asDictionary());
    return message;
}

}
