#include "sdk/lmconnect/lmapi/LMApiObjectCoderImpl.h"

#include "sdk/lmconnect/lmapi/LMApiAudioObject.h"
#include "sdk/lmconnect/lmapi/LMApiImageObject.h"
#include "sdk/lmconnect/lmapi/LMApiNewsObject.h"
#include "sdk/lmconnect/lmapi/LMApiResultObject.h"
#include "sdk/lmconnect/lmapi/LMApiTextObject.h"
#include "sdk/lmconnect/lmapi/LMApiVideoObject.h"

#include <string_view>

namespace {

void encodeExtend(const LMApiExtendObject& object, pf::KeyedArchiver& coder)
{
    coder.encodeData("data", object.data);
    coder.encodeData("previewImageData", object.previewImageData);
}

void encodeURL(const LMApiURLObject& object, pf::KeyedArchiver& coder)
{
    coder.encodeInteger("targetContentType", object.targetContentType);
    coder.encodeText("url", object.url);
    coder.encodeData("previewImageData", object.previewImageData);
}

void decodeExtend(LMApiExtendObject& object, pf::KeyedUnarchiver& coder)
{
    object.data = coder.decodeData("data").value_or(pf::Bytes {});
    object.previewImageData = coder.decodeData("previewImageData").value_or(pf::Bytes {});
}

void decodeURL(LMApiURLObject& object, pf::KeyedUnarchiver& coder)
{
    object.targetContentType = static_cast<std::int32_t>(coder.decodeInteger("targetContentType"));
    object.url = coder.decodeText("url").value_or("");
    object.previewImageData = coder.decodeData("previewImageData").value_or(pf::Bytes {});
}

// The kinds in the order they are told apart: the first whose class the content is (or derives
// from) names it.
std::string_view archivedTypeOf(const LMApiObject& object)
{
    if (dynamic_cast<const LMApiTextObject*>(&object))
        return LMApiTextObject::kClassName;
    if (dynamic_cast<const LMApiImageObject*>(&object))
        return LMApiImageObject::kClassName;
    if (dynamic_cast<const LMApiExtendObject*>(&object))
        return LMApiExtendObject::kClassName;
    if (dynamic_cast<const LMApiAudioObject*>(&object))
        return LMApiAudioObject::kClassName;
    if (dynamic_cast<const LMApiVideoObject*>(&object))
        return LMApiVideoObject::kClassName;
    if (dynamic_cast<const LMApiNewsObject*>(&object))
        return LMApiNewsObject::kClassName;
    if (dynamic_cast<const LMApiURLObject*>(&object))
        return LMApiURLObject::kClassName;
    if (dynamic_cast<const LMApiResultObject*>(&object))
        return LMApiResultObject::kClassName;
    return LMApiObject::kClassName;
}

std::shared_ptr<LMApiObject> makeObject(std::string_view type)
{
    if (type == LMApiTextObject::kClassName) return std::make_shared<LMApiTextObject>();
    if (type == LMApiImageObject::kClassName) return std::make_shared<LMApiImageObject>();
    if (type == LMApiExtendObject::kClassName) return std::make_shared<LMApiExtendObject>();
    if (type == LMApiAudioObject::kClassName) return std::make_shared<LMApiAudioObject>();
    if (type == LMApiVideoObject::kClassName) return std::make_shared<LMApiVideoObject>();
    if (type == LMApiNewsObject::kClassName) return std::make_shared<LMApiNewsObject>();
    if (type == LMApiURLObject::kClassName) return std::make_shared<LMApiURLObject>();
    if (type == LMApiResultObject::kClassName) return std::make_shared<LMApiResultObject>();
    if (type == LMApiObject::kClassName) return std::make_shared<LMApiObject>();
    return nullptr;
}

}

void LMApiObjectCoderImpl::encodeWithCoder(pf::KeyedArchiver& coder) const
{
    if (!obj)
        return;
    coder.encodeText("objectType", archivedTypeOf(*obj));
    coder.encodeInteger("ApiVersion", kApiVersion);
    coder.encodeText("title", obj->title);
    coder.encodeText("description", obj->description);
    if (auto text = dynamic_cast<const LMApiTextObject*>(obj.get()))
        coder.encodeText("text", text->text);
    else if (auto extend = dynamic_cast<const LMApiExtendObject*>(obj.get()))
        encodeExtend(*extend, coder);
    else if (auto url = dynamic_cast<const LMApiURLObject*>(obj.get()))
        encodeURL(*url, coder);
    else if (auto result = dynamic_cast<const LMApiResultObject*>(obj.get())) {
        coder.encodeText("error", result->error);
        coder.encodeText("errorDescription", result->errorDescription);
    }
}

std::shared_ptr<LMApiObjectCoderImpl> LMApiObjectCoderImpl::initWithCoder(pf::KeyedUnarchiver& coder)
{
    auto wrapper = std::make_shared<LMApiObjectCoderImpl>();
    auto type = coder.decodeText("objectType");
    wrapper->obj = type ? makeObject(*type) : nullptr;
    if (!wrapper->obj || coder.decodeInteger("ApiVersion") < kApiVersion)
        return wrapper;
    auto& object = *wrapper->obj;
    object.title = coder.decodeText("title").value_or("");
    object.description = coder.decodeText("description").value_or("");
    if (auto text = dynamic_cast<LMApiTextObject*>(&object))
        text->text = coder.decodeText("text").value_or("");
    else if (auto extend = dynamic_cast<LMApiExtendObject*>(&object))
        decodeExtend(*extend, coder);
    else if (auto url = dynamic_cast<LMApiURLObject*>(&object))
        decodeURL(*url, coder);
    else if (auto result = dynamic_cast<LMApiResultObject*>(&object)) {
        result->error = coder.decodeText("error").value_or("");
        result->errorDescription = coder.decodeText("errorDescription").value_or("");
    }
    return wrapper;
}
